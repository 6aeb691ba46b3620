#include "UlmaroAppKit/UI/RecentRowViews.h"

#include "UlmaroAppKit/UI/Theme.h"

#include <QHBoxLayout>
#include <QLabel>

namespace ulmaro {
namespace {

void addLine(QWidget* row, bool isSelected, const QString& text) {
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(10, 4, 10, 4);
    auto* label = new QLabel(text, row);
    label->setFont(Theme::font(13));
    layout->addWidget(label);
    if (isSelected) {
        row->setAutoFillBackground(true);
        QPalette colours = row->palette();
        colours.setColor(QPalette::Window, Theme::accent(0.18));
        row->setPalette(colours);
    }
}

} // namespace

RecentSearchRowView::RecentSearchRowView(RecentSearchEntry entry, bool isSelected,
                                         std::function<void()> onSelect, QWidget* parent)
    : QWidget(parent), entry_(std::move(entry)), onSelect_(std::move(onSelect)) {
    const auto count = entry_.resultCount;
    addLine(this, isSelected,
            QString::fromStdString(entry_.query + "   " + std::to_string(count) +
                                   (count == 1 ? " result" : " results")));
}

RecentFileRowView::RecentFileRowView(RecentFileEntry entry, bool isSelected,
                                     std::shared_ptr<IconResolver>, std::function<void()> onSelect,
                                     QWidget* parent)
    : QWidget(parent), entry_(std::move(entry)), onSelect_(std::move(onSelect)) {
    addLine(this, isSelected, QString::fromStdString(entry_.name));
}

} // namespace ulmaro
