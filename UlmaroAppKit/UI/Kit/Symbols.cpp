#include "UlmaroAppKit/UI/Kit/Symbols.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>
#include <QtGlobal>
#include <array>

namespace ulmaro::Symbols {
namespace {

// Lucide has no badges or filled variants of its outlines; a badge picks the icon closest
// in meaning, and a ".fill" whose glyph is drawn inside the shape (a check in a circle)
// stays an outline, since a filled shape would hide it.
constexpr std::array<Entry, 37> entries{{
    // Panel: header, filter bar, sort menu.
    {"magnifyingglass", "search"},
    {"photo", "image"},
    {"doc.text", "file-text"},
    {"chevron.left.forwardslash.chevron.right", "code"},
    {"folder", "folder"},
    {"app.badge", "app-window"},
    {"externaldrive", "hard-drive"},
    {"clock", "clock"},
    {"doc.text.magnifyingglass", "file-search"},
    {"star", "star"},
    {"star.fill", "star", true},
    {"arrow.up.arrow.down", "arrow-up-down"},
    {"checkmark", "check"},
    // Panel: status lines, notices, banners, rescues, rows.
    {"exclamationmark.triangle", "triangle-alert"},
    {"sparkle.magnifyingglass", "search-sparkles"},
    {"questionmark.circle", "circle-question-mark"},
    {"lock.shield", "shield-lock"},
    {"xmark", "x"},
    {"clock.arrow.circlehalf", "clock-fading"},
    {"externaldrive.badge.xmark", "unplug"},
    {"doc.on.doc", "copy"},
    {"folder.badge.questionmark", "folder-search"},
    {"clock.arrow.circlepath", "history"},
    {"doc", "file"},
    // Menu-bar menus, the drive prompt, the catalog and settings windows.
    {"checkmark.circle.fill", "circle-check"},
    {"externaldrive.badge.plus", "hard-drive-download"},
    {"chevron.left", "chevron-left"},
    {"chevron.right", "chevron-right"},
    {"plus", "plus"},
    {"arrow.clockwise", "rotate-cw"},
    {"square.and.arrow.up", "share"},
    {"square.and.arrow.down", "import"},
    {"trash", "trash-2"},
    {"lock.fill", "lock"},
    {"folder.badge.minus", "folder-minus"},
    {"xmark.circle.fill", "circle-x"},
    {"minus.circle.fill", "circle-minus"},
}};

QByteArray coloredSvg(const Entry& entry, const QColor& color) {
    QFile file(QStringLiteral(":/symbols/%1.svg").arg(QLatin1String(entry.file)));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray svg = file.readAll();
    const QByteArray rgb = color.name(QColor::HexRgb).toLatin1();
    svg.replace("currentColor", rgb);
    if (entry.filled) svg.replace("fill=\"none\"", "fill=\"" + rgb + "\"");
    return svg;
}

} // namespace

std::span<const Entry> table() {
    return entries;
}

const Entry* find(std::string_view name) {
    for (const Entry& entry : entries)
        if (entry.name == name) return &entry;
    return nullptr;
}

QPixmap pixmap(std::string_view name, int size, const QColor& color, qreal dpr) {
    const Entry* entry = find(name);
    if (!entry) {
        qWarning("Unknown symbol %.*s", int(name.size()), name.data());
        return {};
    }
    static QHash<QString, QPixmap> cache;
    const QString key = QStringLiteral("%1|%2|%3|%4")
                            .arg(QLatin1String(name.data(), qsizetype(name.size())))
                            .arg(size)
                            .arg(color.rgba(), 8, 16)
                            .arg(dpr);
    if (auto it = cache.constFind(key); it != cache.constEnd()) return *it;

    const int pixels = qMax(1, qRound(size * dpr));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(coloredSvg(*entry, color));
    if (!renderer.isValid()) {
        qWarning("Symbol %.*s has no valid image", int(name.size()), name.data());
        return {};
    }
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, pixels, pixels));
        // Faded as a whole, so crossing strokes do not add up.
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.fillRect(image.rect(), QColor(0, 0, 0, color.alpha()));
    }
    QPixmap result = QPixmap::fromImage(std::move(image));
    result.setDevicePixelRatio(dpr);
    cache.insert(key, result);
    return result;
}

QIcon icon(std::string_view name, const QColor& color, int size) {
    QIcon result;
    for (qreal dpr : {1.0, 2.0})
        result.addPixmap(pixmap(name, size, color, dpr));
    return result;
}

} // namespace ulmaro::Symbols
