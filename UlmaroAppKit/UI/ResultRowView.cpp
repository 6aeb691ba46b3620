#include "UlmaroAppKit/UI/ResultRowView.h"

#include "UlmaroAppKit/Panel/OverlayLayout.h"
#include "UlmaroAppKit/UI/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace ulmaro {

ResultRowView::ResultRowView(RankedRow row, bool isSelected, QIcon icon, QWidget* parent)
    : QWidget(parent), row_(std::move(row)), isSelected_(isSelected), icon_(std::move(icon)) {
    setFixedHeight(int(OverlayLayout::rowHeight(row_.contentMatch.has_value())));
}

void ResultRowView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isSelected_) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 6, 6);
        painter.fillPath(shape, Theme::accent(0.18));
    }
    const int iconTop = (height() - 28) / 2;
    icon_.paint(&painter, QRect(10, iconTop, 28, 28));
    const auto slash = row_.path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : row_.path.substr(0, slash);
    painter.setFont(Theme::font(13));
    painter.setPen(Theme::text(Theme::Level::primary));
    painter.drawText(QRect(48, 2, width() - 56, 18), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromStdString(row_.name));
    painter.setFont(Theme::font(11));
    painter.setPen(Theme::text(Theme::Level::secondary));
    painter.drawText(QRect(48, 19, width() - 56, 15), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromUtf8(folder.data(), qsizetype(folder.size())));
}

} // namespace ulmaro
