#include "UlmaroAppKit/UI/Catalogs/CatalogBreadcrumbBar.h"

#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/StyledButton.h"
#include "UlmaroAppKit/UI/Kit/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>

namespace ulmaro {

CatalogBreadcrumbBar::CatalogBreadcrumbBar(CatalogBrowsing& model, QWidget* parent)
    : QWidget(parent), model_(model) {
    // A trail wider than the pane is cut at the right; it never widens the window.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    row_ = new QHBoxLayout(this);
    row_->setSpacing(4);
    row_->setContentsMargins(10, 6, 10, 6);
    back_ = new StyledButton(Theme::ButtonLook::borderless);
    back_->setSymbol("chevron.left", 14, Theme::Level::primary);
    connect(back_, &QPushButton::clicked, this, [this] { model_.goUp(); });
    row_->addWidget(back_);
    row_->addStretch(1);
    // The trail changes before the listing is reloaded; the names follow both.
    trail_ = model_.trail.subscribe([this](const auto&) { refresh(); });
    items_ = model_.items.subscribe([this](const auto&) { refresh(); });
    refresh();
}

void CatalogBreadcrumbBar::refresh() {
    back_->setEnabled(!model_.trail.get().empty());
    const std::vector<std::string> names = model_.breadcrumb();
    // Crumbs are reused, so a click never deletes the button it came from.
    auto discard = [this](QWidget* widget) {
        row_->removeWidget(widget);
        widget->hide();
        widget->deleteLater();
    };
    while (crumbs_.size() > names.size()) {
        discard(crumbs_.back());
        crumbs_.pop_back();
    }
    for (QWidget* separator : separators_)
        discard(separator);
    separators_.clear();
    for (StyledButton* crumb : crumbs_)
        row_->removeWidget(crumb);
    for (std::size_t depth = crumbs_.size(); depth < names.size(); ++depth) {
        auto* crumb = new StyledButton(Theme::ButtonLook::borderless);
        connect(crumb, &QPushButton::clicked, this, [this, depth] { model_.goTo(int(depth)); });
        crumbs_.push_back(crumb);
    }
    int at = 1;
    for (std::size_t depth = 0; depth < names.size(); ++depth) {
        if (depth > 0) {
            auto* separator = new QLabel;
            separator->setPixmap(Symbols::pixmap("chevron.right", 9,
                                                 Theme::text(Theme::Level::tertiary, palette()),
                                                 devicePixelRatioF()));
            separators_.push_back(separator);
            row_->insertWidget(at++, separator);
            separator->show();
        }
        PlainText::setText(*crumbs_[depth], PlainText::fromBytes(names[depth]));
        row_->insertWidget(at++, crumbs_[depth]);
        crumbs_[depth]->show();
    }
}

} // namespace ulmaro
