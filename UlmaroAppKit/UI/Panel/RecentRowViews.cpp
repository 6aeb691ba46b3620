#include "UlmaroAppKit/UI/Panel/RecentRowViews.h"

#include "UlmaroAppKit/Panel/IconResolver.h"
#include "UlmaroAppKit/Panel/RecentFileRow.h"
#include "UlmaroAppKit/UI/Kit/StyledLabel.h"
#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Qt/QtIconSource.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace ulmaro {
namespace {

// The accent at 0.18 behind a selected row, clipped to a radius of 6.
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

QLabel* iconLabel(const QPixmap& pixmap, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFixedWidth(16);
    label->setAlignment(Qt::AlignCenter);
    label->setPixmap(pixmap);
    return label;
}

QString folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return QString::fromStdString(path.substr(0, std::max<std::size_t>(slash, 1)));
}

} // namespace

QString RecentSearchRowView::countText(std::int64_t count) {
    return QString::number(count) +
           (count == 1 ? QStringLiteral(" result") : QStringLiteral(" results"));
}

RecentSearchRowView::RecentSearchRowView(RecentSearchEntry entry, bool isSelected,
                                         std::function<void()> onSelect, QWidget* parent)
    : QWidget(parent), entry_(std::move(entry)), isSelected_(isSelected),
      onSelect_(std::move(onSelect)) {
    const QColor secondary = Theme::text(Theme::Level::secondary);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 5, 10, 5);
    row->setSpacing(8);
    row->addWidget(iconLabel(
        Symbols::pixmap("clock.arrow.circlepath", 13, secondary, devicePixelRatioF()), this));
    QLabel* query = styledLabel(QString::fromStdString(entry_.query), Theme::font(13),
                                Theme::text(Theme::Level::primary), this);
    query->setMinimumWidth(0);
    row->addWidget(query, 1);
    row->addSpacing(0); // with the row's spacing, at least 8 before the count
    row->addWidget(styledLabel(countText(entry_.resultCount), Theme::font(11), secondary, this));
}

void RecentSearchRowView::mouseReleaseEvent(QMouseEvent* event) {
    clicked(*this, event, onSelect_);
}

void RecentSearchRowView::paintEvent(QPaintEvent*) {
    paintSelection(*this, isSelected_);
}

RecentFileRowView::RecentFileRowView(RecentFileEntry entry, bool isSelected,
                                     std::shared_ptr<IconResolver> icons,
                                     std::function<void()> onSelect, QWidget* parent)
    : QWidget(parent), entry_(std::move(entry)), isSelected_(isSelected),
      onSelect_(std::move(onSelect)) {
    const QColor secondary = Theme::text(Theme::Level::secondary);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 4, 10, 4);
    row->setSpacing(8);
    const QPixmap icon = icons ? QtIconSource::qIcon(icons->icon(recentFileRow(entry_)))
                                     .pixmap(QSize(16, 16), devicePixelRatioF())
                               : Symbols::pixmap("doc", 16, secondary, devicePixelRatioF());
    row->addWidget(iconLabel(icon, this));
    auto* lines = new QVBoxLayout;
    lines->setSpacing(0);
    lines->addWidget(styledLabel(QString::fromStdString(entry_.name), Theme::font(13),
                                 Theme::text(Theme::Level::primary), this));
    folder_ = styledLabel(folderOf(entry_.path), Theme::font(11), secondary, this);
    folder_->setFixedHeight(folder_->sizeHint().height());
    lines->addWidget(folder_);
    row->addLayout(lines, 1);
}

void RecentFileRowView::setShowsFolder(bool shows) {
    // Emptied rather than hidden, so the row keeps its height.
    folder_->setText(shows ? folderOf(entry_.path) : QString());
}

void RecentFileRowView::mouseReleaseEvent(QMouseEvent* event) {
    clicked(*this, event, onSelect_);
}

void RecentFileRowView::paintEvent(QPaintEvent*) {
    paintSelection(*this, isSelected_);
}

} // namespace ulmaro
