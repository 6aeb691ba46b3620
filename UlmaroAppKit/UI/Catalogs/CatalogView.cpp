#include "UlmaroAppKit/UI/Catalogs/CatalogView.h"

#include "UlmaroAppKit/UI/Catalogs/CatalogSidebarView.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogStatePage.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"

#include <QStackedWidget>

namespace ulmaro {

CatalogView::CatalogView(QWidget* browser, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), browser_(browser) {
    setChildrenCollapsible(false);
    sidebar_ = new CatalogSidebarView;
    addWidget(sidebar_);
    pages_ = new QStackedWidget;
    empty_ = new CatalogStatePage(CatalogStatePage::Kind::empty);
    damaged_ = new CatalogStatePage(CatalogStatePage::Kind::damaged);
    pages_->addWidget(empty_);
    pages_->addWidget(damaged_);
    pages_->addWidget(browser_);
    addWidget(pages_);
    setStretchFactor(0, 0);
    setStretchFactor(1, 1);
    setSizes({CatalogSidebarView::listIdealWidth, 900 - CatalogSidebarView::listIdealWidth});
}

std::function<void(const std::optional<std::string>&)>& CatalogView::onSelect() {
    return sidebar_->onSelect;
}

std::function<void()>& CatalogView::onAddFolder() {
    return empty_->onAddFolder;
}

void CatalogView::setRows(const std::vector<CatalogWindowRules::SidebarRow>& rows,
                          const std::optional<std::string>& selectedID) {
    sidebar_->setRows(rows);
    sidebar_->setSelectedID(selectedID);
}

void CatalogView::showEmpty(const std::string& title) {
    empty_->setTitle(PlainText::fromBytes(title));
    pages_->setCurrentWidget(empty_);
    detail_ = Detail::empty;
}

void CatalogView::showDamaged(const std::string& reason, const std::string& hint) {
    damaged_->setDamage(PlainText::fromBytes(reason), PlainText::fromBytes(hint));
    pages_->setCurrentWidget(damaged_);
    detail_ = Detail::damaged;
}

void CatalogView::showBrowser() {
    pages_->setCurrentWidget(browser_);
    detail_ = Detail::browser;
}

} // namespace ulmaro
