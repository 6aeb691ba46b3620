#include "UlmaroAppKit/UI/CatalogWindowController.h"

#include "UlmaroAppKit/Catalogs/CatalogLibrary.h"
#include "UlmaroAppKit/UI/CatalogMessageAlert.h"
#include "UlmaroAppKit/UI/CatalogView.h"
#include "UlmaroAppKit/UI/PlainText.h"

namespace ulmaro {

CatalogWindowController::CatalogWindowController(Dependencies dependencies)
    : deps_(std::move(dependencies)), model_(deps_.coordinator.library()),
      state_(model_, deps_.coordinator, deps_.mainQueue, &CatalogBrowserModel::status),
      window_(deps_.settings,
              {QStringLiteral("Catalog"), "Catalog", QSize(minimumWidth, minimumHeight),
               QSize(initialWidth, initialHeight), true},
              [this] { return build(); }) {}

CatalogWindowController::~CatalogWindowController() {
    subscriptions_.clear();
    alert_.reset();
}

void CatalogWindowController::show(const std::optional<std::string>& catalogID,
                                   const std::optional<std::string>& revealPath) {
    state_.prepare(catalogID, revealPath);
    window_.show();
    // Once on screen, so a notice waiting since before the window was built has a window
    // to show over.
    state_.attach();
}

QWidget* CatalogWindowController::build() {
    browser_ = new CatalogBrowserView(model_, deps_.workspace, deps_.texts);
    browser_->onMessage = [this](const std::string& message) { state_.message.set(message); };
    view_ = new CatalogView(browser_);
    view_->onSelect() = [this](const std::optional<std::string>& id) { model_.select(id); };
    view_->onAddFolder() = [this] {
        if (onAddFolder) onAddFolder();
    };
    alert_ = std::make_unique<CatalogMessageAlert>(view_);
    alert_->onDismissed = [this] { state_.message.set(std::nullopt); };

    auto redraw = [this](const auto&) { refresh(); };
    CatalogCoordinator& pipeline = deps_.coordinator;
    subscriptions_.push_back(pipeline.library().observeEntries(redraw));
    subscriptions_.push_back(pipeline.observeActivity(redraw));
    subscriptions_.push_back(pipeline.observeLastErrors(redraw));
    subscriptions_.push_back(pipeline.observePendingNew(redraw));
    subscriptions_.push_back(model_.selectedID.subscribe(redraw));
    subscriptions_.push_back(state_.message.subscribe([this](const auto& message) {
        if (message) alert_->show(PlainText::fromBytes(*message));
    }));
    refresh();
    return view_;
}

void CatalogWindowController::refresh() {
    if (!view_) return;
    view_->setRows(state_.sidebarRows(), model_.selectedID.get());
    const auto detail = state_.detail();
    switch (detail.kind) {
    case CatalogWindowState::Detail::Kind::empty:
        view_->showEmpty(detail.text);
        break;
    case CatalogWindowState::Detail::Kind::damaged:
        view_->showDamaged(detail.text, detail.hint);
        break;
    case CatalogWindowState::Detail::Kind::browser: {
        const auto& errors = deps_.coordinator.lastErrors();
        const auto id = model_.selectedID.get();
        const auto error = id ? errors.find(*id) : errors.end();
        browser_->setLastError(error == errors.end() ? std::nullopt : std::optional(error->second));
        view_->showBrowser();
        break;
    }
    }
}

} // namespace ulmaro
