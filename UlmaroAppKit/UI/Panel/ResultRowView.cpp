#include "UlmaroAppKit/UI/Panel/ResultRowView.h"

#include "UlmaroAppKit/Panel/IconResolver.h"
#include "UlmaroAppKit/Panel/NameEmphasis.h"
#include "UlmaroAppKit/Panel/OverlayLayout.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Panel/ResultListModel.h"
#include "UlmaroAppKit/UI/Panel/ResultListView.h"
#include "UlmaroAppKit/UI/Qt/QtIconSource.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <algorithm>

namespace ulmaro {
namespace {

constexpr int padding = int(OverlayLayout::resultListPadding);
constexpr int gap = int(OverlayLayout::resultRowSpacing);

} // namespace

ResultRowView::ResultRowView(std::shared_ptr<OverlayViewModel> model,
                             std::shared_ptr<IconResolver> icons, std::function<bool()> showsPaths,
                             QObject* parent)
    : QStyledItemDelegate(parent), model_(std::move(model)), icons_(std::move(icons)),
      showsPaths_(std::move(showsPaths)) {}

QRect ResultRowView::rowRect(const QRect& itemRect, int row, int rowCount) {
    return itemRect.adjusted(padding, row == 0 ? padding : gap, -padding,
                             row == rowCount - 1 ? -padding : 0);
}

QSize ResultRowView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const auto& model = *static_cast<const ResultListModel*>(index.model());
    const int count = model.rowCount();
    const int height =
        int(OverlayLayout::rowHeight(model.row(index.row()).contentMatch.has_value())) +
        (index.row() == 0 ? padding : gap) + (index.row() == count - 1 ? padding : 0);
    return {option.rect.width(), height};
}

void ResultRowView::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    const auto& model = *static_cast<const ResultListModel*>(index.model());
    const RankedRow& row = model.row(index.row());
    const bool selected =
        model_->selectedID.get() == row.id || model_->extraSelectedIDs.get().count(row.id) > 0;
    painter->save();
    if (auto* list = qobject_cast<const ResultListView*>(option.widget))
        painter->setOpacity(list->opacity());
    paintRow(*painter, rowRect(option.rect, index.row(), model.rowCount()), row, selected,
             QtIconSource::qIcon(icons_->icon(row)), !showsPaths_ || showsPaths_());
    painter->restore();
}

std::unique_ptr<QTextLayout> ResultRowView::nameLayout(const RankedRow& row, const QFont& font,
                                                       int width) {
    auto layout = std::make_unique<QTextLayout>();
    QString text;
    QList<QTextLayout::FormatRange> formats;
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    for (const EmphasisRun& run : emphasizedName(row)) {
        const QString part = QString::fromStdString(run.text);
        if (run.bold) formats.append({int(text.size()), int(part.size()), bold});
        text += part;
    }
    // One line at most: cut at the tail with an ellipsis, judged with the bold face so the
    // cut never falls short.
    QFont boldFont = font;
    boldFont.setWeight(QFont::Bold);
    const QString elided = QFontMetrics(boldFont).elidedText(text, Qt::ElideRight, width);
    if (elided != text) {
        const int kept = int(elided.size()) - 1;
        for (auto& range : formats)
            range.length = std::max(0, std::min(range.start + range.length, kept) - range.start);
        text = text.left(kept) + QChar(0x2026);
    }
    layout->setText(text);
    layout->setFont(font);
    layout->setFormats(formats);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout->setTextOption(option);
    layout->beginLayout();
    QTextLine line = layout->createLine();
    if (line.isValid()) line.setLineWidth(width);
    layout->endLayout();
    return layout;
}

void ResultRowView::paintRow(QPainter& painter, const QRect& rect, const RankedRow& row,
                             bool isSelected, const QIcon& icon, bool showsFolder) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (isSelected) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect), 6, 6);
        painter.fillPath(shape, Theme::accent(0.18));
    }
    icon.paint(&painter, QRect(rect.x() + 10, rect.y() + (rect.height() - 28) / 2, 28, 28));

    const QFont nameFont = Theme::font(13);
    const QFont folderFont = Theme::font(11);
    const QFont badgeFont = Theme::font(10, Theme::Weight::semibold);
    const QFont lineFont = Theme::font(10, Theme::Weight::medium, Theme::Design::monospaced);
    const QFont previewFont = Theme::font(11, Theme::Weight::regular, Theme::Design::monospaced);
    const QFontMetrics name(nameFont), folder(folderFont), badge(badgeFont), line(lineFont),
        preview(previewFont);
    const auto& match = row.contentMatch;
    const bool thirdLine = match && !match->preview.empty();
    const int badgeHeight = badge.height() + 2;
    const int secondHeight = std::max(folder.height(), row.isOffline() ? badgeHeight : 0);
    const int thirdHeight = thirdLine ? 1 + std::max(line.height(), preview.height()) : 0;
    const int total = name.height() + 1 + secondHeight + (thirdLine ? 1 + thirdHeight : 0);
    const int left = rect.x() + 48;
    const int width = rect.right() - 10 - left;
    int y = rect.y() + (rect.height() - total) / 2;

    painter.setPen(Theme::text(Theme::Level::primary));
    nameLayout(row, nameFont, width)->draw(&painter, QPointF(left, y));
    y += name.height() + 1;

    int x = left;
    if (const auto label = row.offlineLabel()) {
        const QString text = QString::fromStdString(*label);
        const int badgeWidth = badge.horizontalAdvance(text) + 12;
        const QRectF capsule(x, y + (secondHeight - badgeHeight) / 2.0, badgeWidth, badgeHeight);
        QPainterPath shape;
        shape.addRoundedRect(capsule, badgeHeight / 2.0, badgeHeight / 2.0);
        painter.fillPath(shape, Theme::primaryTint(0.08));
        painter.setFont(badgeFont);
        painter.setPen(Theme::text(Theme::Level::secondary));
        painter.drawText(capsule, Qt::AlignCenter, text);
        x += badgeWidth + 6;
    }
    const auto slash = row.path.rfind('/');
    const std::string parent = slash == std::string::npos
                                   ? std::string()
                                   : row.path.substr(0, std::max<std::size_t>(slash, 1));
    painter.setFont(folderFont);
    painter.setPen(Theme::text(Theme::Level::secondary));
    const int folderWidth = rect.right() - 10 - x;
    if (showsFolder)
        painter.drawText(QRect(x, y, folderWidth, secondHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         folder.elidedText(QString::fromStdString(repairUtf8(parent)),
                                           Qt::ElideRight, folderWidth));
    y += secondHeight + 1;

    if (thirdLine) {
        y += 1;
        const QString number = QString::number(match->line);
        painter.setFont(lineFont);
        painter.setPen(Theme::text(Theme::Level::tertiary));
        const int numberWidth = line.horizontalAdvance(number);
        painter.drawText(QRect(left, y, numberWidth, thirdHeight - 1),
                         Qt::AlignLeft | Qt::AlignVCenter, number);
        const int previewLeft = left + numberWidth + 6;
        const int previewWidth = rect.right() - 10 - previewLeft;
        painter.setFont(previewFont);
        painter.setPen(Theme::text(Theme::Level::secondary));
        painter.drawText(QRect(previewLeft, y, previewWidth, thirdHeight - 1),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         preview.elidedText(QString::fromStdString(match->preview), Qt::ElideRight,
                                            previewWidth));
    }
    painter.restore();
}

} // namespace ulmaro
