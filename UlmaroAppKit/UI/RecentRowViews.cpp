#include "UlmaroAppKit/UI/RecentRowViews.h"

#include "UlmaroAppKit/UI/StyledLabel.h"
#include "UlmaroAppKit/UI/Theme.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace ulmaro {
namespace {

void addLine(QWidget* row, const QString& text, const QString& trailing) {
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(10, 5, 10, 5);
    layout->setSpacing(8);
    layout->addWidget(styledLabel(text, Theme::font(13), Theme::text(Theme::Level::primary), row),
                      1);
    if (!trailing.isEmpty())
        layout->addWidget(
            styledLabel(trailing, Theme::font(11), Theme::text(Theme::Level::secondary), row));
}

void paintSelection(QWidget& row, bool isSelected) {
    if (!isSelected) return;
    QPainter painter(&row);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(row.rect()), 6, 6);
    painter.fillPath(shape, Theme::accent(0.18));
}

void clicked(QWidget& row, QMouseEvent* event, const std::function<void()>& onSelect) {
    if (event->button() == Qt::LeftButton && row.rect().contains(event->position().toPoint()) &&
        onSelect)
        onSelect();
}

} // namespace

RecentSearchRowView::RecentSearchRowView(RecentSearchEntry entry, bool isSelected,
                                         std::function<void()> onSelect, QWidget* parent)
    : QWidget(parent), entry_(std::move(entry)), isSelected_(isSelected),
      onSelect_(std::move(onSelect)) {
    const auto count = entry_.resultCount;
    addLine(this, QString::fromStdString(entry_.query),
            QString::fromStdString(std::to_string(count) + (count == 1 ? " result" : " results")));
}

void RecentSearchRowView::mouseReleaseEvent(QMouseEvent* event) {
    clicked(*this, event, onSelect_);
}

void RecentSearchRowView::paintEvent(QPaintEvent*) {
    paintSelection(*this, isSelected_);
}

RecentFileRowView::RecentFileRowView(RecentFileEntry entry, bool isSelected,
                                     std::shared_ptr<IconResolver>, std::function<void()> onSelect,
                                     QWidget* parent)
    : QWidget(parent), entry_(std::move(entry)), isSelected_(isSelected),
      onSelect_(std::move(onSelect)) {
    addLine(this, QString::fromStdString(entry_.name), {});
}

void RecentFileRowView::mouseReleaseEvent(QMouseEvent* event) {
    clicked(*this, event, onSelect_);
}

void RecentFileRowView::paintEvent(QPaintEvent*) {
    paintSelection(*this, isSelected_);
}

} // namespace ulmaro
