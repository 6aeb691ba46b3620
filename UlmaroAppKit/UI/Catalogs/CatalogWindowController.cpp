#include "UlmaroAppKit/UI/Catalogs/CatalogWindowController.h"

#include "UlmaroAppKit/Catalogs/CatalogLibrary.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogMessageAlert.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogQuestion.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogToolbar.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogView.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"

#include <QVBoxLayout>

namespace ulmaro {

CatalogWindowController::CatalogWindowController(Dependencies dependencies)
    : deps_(std::move(dependencies)), model_(deps_.coordinator.library()),
      state_(model_, deps_.coordinator, deps_.mainQueue, &CatalogBrowserModel::status),
      actions_(state_, deps_.transfers, deps_.chooser),
      window_(deps_.settings,
              {QStringLiteral("Catalog"), "Catalog", QSize(minimumWidth, minimumHeight),
               QSize(initialWidth, initialHeight), true},
              [this] { return build(); }) {}

CatalogWindowController::~CatalogWindowController() {
    subscriptions_.clear();
    forgetQuestion_.reset();
    importQuestion_.reset();
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
    view_->onAddFolder() = [this] { actions_.addFolder(); };
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    toolbar_ = new CatalogToolbar(content);
    toolbar_->onAddFolder = [this] { actions_.addFolder(); };
    toolbar_->onRescan = [this] { actions_.rescan(); };
    toolbar_->onExport = [this] { actions_.exportSelected(); };
    toolbar_->onImport = [this] { actions_.importFile(); };
    toolbar_->onForget = [this] { state_.confirmingForget.set(true); };
    column->addWidget(toolbar_);
    column->addWidget(view_, 1);
    alert_ = std::make_unique<CatalogMessageAlert>(content);
    askQuestions();
    alert_->onDismissed = [this] { state_.message.set(std::nullopt); };

    auto redraw = [this](const auto&) {
        refresh();
        refreshToolbar();
    };
    CatalogCoordinator& pipeline = deps_.coordinator;
    subscriptions_.push_back(pipeline.library().observeEntries(redraw));
    subscriptions_.push_back(pipeline.observeActivity(redraw));
    subscriptions_.push_back(pipeline.observeLastErrors(redraw));
    subscriptions_.push_back(pipeline.observePendingNew(redraw));
    subscriptions_.push_back(model_.selectedID.subscribe(redraw));
    subscriptions_.push_back(deps_.transfers.observeTransferring(redraw));
    subscriptions_.push_back(state_.message.subscribe([this](const auto& message) {
        if (message) alert_->show(PlainText::fromBytes(*message));
    }));
    refresh();
    refreshToolbar();
    return content;
}

void CatalogWindowController::askQuestions() {
    QWidget* window = view_->window();
    forgetQuestion_ = std::make_unique<CatalogQuestion>(
        window,
        QString::fromUtf8("Its catalog moves to the Trash. Nothing on the drive is touched."),
        QStringLiteral("Forget"), QStringLiteral("Cancel"));
    forgetQuestion_->onConfirm = [this] {
        state_.confirmingForget.set(false);
        actions_.forget();
    };
    forgetQuestion_->onCancel = [this] { state_.confirmingForget.set(false); };
    subscriptions_.push_back(state_.confirmingForget.subscribe([this](bool asking) {
        if (asking)
            forgetQuestion_->ask(PlainText::fromBytes(actions_.forgetTitle()));
        else
            forgetQuestion_->withdraw();
    }));

    importQuestion_ = std::make_unique<CatalogQuestion>(
        window, QStringLiteral("Replacing moves the existing catalog to the Trash."),
        QStringLiteral("Replace"), QStringLiteral("Keep Existing"));
    importQuestion_->onConfirm = [this] { actions_.replace(); };
    importQuestion_->onCancel = [this] { actions_.cancelPendingImport(); };
    subscriptions_.push_back(state_.pendingImport.subscribe([this](const auto& pending) {
        if (pending)
            importQuestion_->ask(PlainText::fromBytes(actions_.importTitle()));
        else
            importQuestion_->withdraw();
    }));
}

void CatalogWindowController::refreshToolbar() {
    if (!toolbar_) return;
    toolbar_->show({actions_.canRescan(), actions_.canExport(), actions_.canImport(),
                    actions_.canForget(), deps_.transfers.isTransferring()});
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
