#include "UlmaroAppKit/UI/Catalogs/CatalogItemRow.h"

#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QPainter>

namespace ulmaro {
namespace {

QFont sizeFont() {
    return Theme::font(11, Theme::Weight::regular, Theme::Design::monospaced);
}

QFont dateFont() {
    return Theme::font(11);
}

} // namespace

CatalogItemRow::CatalogItemRow(SizeText sizeText, DateText dateText, QObject* parent)
    : ItemRowDelegate(parent), sizeText_(std::move(sizeText)), dateText_(std::move(dateText)) {}

const CatalogItemRow::Texts& CatalogItemRow::textsFor(const QModelIndex& index) const {
    const quint32 id = index.data(idRole).value<quint32>();
    if (auto it = texts_.constFind(id); it != texts_.constEnd()) return *it;
    Texts texts;
    if (sizeText_)
        texts.size = PlainText::fromBytes(sizeText_(index.data(sizeRole).value<quint64>()));
    if (dateText_)
        texts.date = PlainText::fromBytes(dateText_(index.data(mtimeRole).value<quint32>()));
    return *texts_.insert(id, std::move(texts));
}

CatalogItemRow::Layout CatalogItemRow::layout(const QRect& rect, const QString& sizeText) {
    const QRect area = rect.adjusted(horizontalInset, 0, -horizontalInset, 0);
    Layout l;
    l.icon = QRect(area.x(), area.y(), iconFrame, area.height());
    l.date = QRect(area.right() + 1 - dateWidth, area.y(), dateWidth, area.height());
    const int sizeWidth = QFontMetrics(sizeFont()).horizontalAdvance(sizeText);
    l.size = QRect(l.date.x() - spacing - sizeWidth, area.y(), sizeWidth, area.height());
    const int nameLeft = l.icon.right() + 1 + spacing;
    const int nameRight = l.size.x() - spacing - minimumGap;
    l.name = QRect(nameLeft, area.y(), std::max(0, nameRight - nameLeft), area.height());
    return l;
}

void CatalogItemRow::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    drawBackground(painter, option, index);

    const Texts& texts = textsFor(index);
    const Layout l = layout(option.rect, texts.size);
    painter->save();
    const bool folder = index.data(isDirectoryRole).toBool();
    const QPixmap symbol =
        Symbols::pixmap(folder ? "folder" : "doc", 14, textColour(option, Theme::Level::secondary),
                        painter->device()->devicePixelRatioF());
    painter->drawPixmap(l.icon.x() + (l.icon.width() - 14) / 2,
                        l.icon.y() + (l.icon.height() - 14) / 2, symbol);

    const QFontMetrics nameMetrics(option.font);
    painter->setFont(option.font);
    painter->setPen(textColour(option, Theme::Level::primary));
    painter->drawText(l.name, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      nameMetrics.elidedText(index.data(Qt::DisplayRole).toString(),
                                             Qt::ElideMiddle, l.name.width()));
    painter->setFont(sizeFont());
    painter->setPen(textColour(option, Theme::Level::secondary));
    painter->drawText(l.size, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, texts.size);
    painter->setFont(dateFont());
    painter->setPen(textColour(option, Theme::Level::tertiary));
    painter->drawText(l.date, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                      QFontMetrics(dateFont()).elidedText(texts.date, Qt::ElideRight, dateWidth));
    painter->restore();
}

QSize CatalogItemRow::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const int height = std::max(QFontMetrics(option.font).height(), iconFrame) + 6;
    return {2 * horizontalInset + iconFrame + spacing + minimumGap + spacing + dateWidth + 120,
            height};
}

} // namespace ulmaro
