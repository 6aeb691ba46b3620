#include "UlmaroApp/AppWindows.h"

#include "UlmaroApp/AppAssembly.h"
#include "UlmaroAppKit/Catalogs/CatalogCoordinatorAdapter.h"
#include "UlmaroAppKit/Catalogs/CatalogTransferring.h"
#include "UlmaroAppKit/Panel/OverlayPanelController.h"
#include "UlmaroAppKit/Settings/SettingsWindowController.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogWindowController.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Qt/QtFileChooser.h"
#include "UlmaroAppKit/UI/Settings/SettingsWindow.h"

namespace ulmaro {

AppWindows::AppWindows(AppAssembly& assembly) : assembly_(assembly) {}

AppWindows::~AppWindows() = default;

void AppWindows::attach(const std::shared_ptr<AppCoordinator>& app) {
    attachSettings(app);
    attachCatalogs(app);
}

void AppWindows::attachSettings(const std::shared_ptr<AppCoordinator>& app) {
    const auto& env = assembly_.environment();
    const std::weak_ptr<AppCoordinator> weak = app;
    // Exclusions need nothing: the scan policy reads them anew at each scan.
    settingsController_ = SettingsWindowController::create(
        env.preferences, [] {},
        [weak] {
            if (auto coordinator = weak.lock()) coordinator->applySearchThisMac();
        });
    settingsController_->onHotKeyChange = [weak](const KeyCombo& combo) {
        auto coordinator = weak.lock();
        return coordinator && coordinator->registerHotKey(combo);
    };
    settingsController_->onResultLimitChange = [weak] {
        if (auto coordinator = weak.lock()) coordinator->resultLimitChanged();
    };
    // The shortcut row tells what the coordinator tells everywhere else.
    settingsController_->hotKeyStatus->set(app->hotKeyStatus.get());
    hotKeyStatusForwarding_ =
        app->hotKeyStatus.subscribe([status = settingsController_->hotKeyStatus](
                                        const HotKeyStatus& now) { status->set(now); });
    SettingsForm::Environment form;
    form.controller = settingsController_;
    form.chooser = std::make_shared<QtFileChooser>();
    form.home = env.homeDirectory.string();
    settings_ = std::make_unique<SettingsWindow>(*env.settings, std::move(form));
    app->onOpenSettings = [this] { settings_->show(); };
    // The panel hides first without giving the keyboard back to the window it came over,
    // which would otherwise take it from Settings as the panel loses it.
    assembly_.panel().onOpenSettings = [this, weak] {
        if (auto coordinator = weak.lock()) coordinator->panelController().dismiss(false);
        settings_->show();
    };
}

void AppWindows::attachCatalogs(const std::shared_ptr<AppCoordinator>& app) {
    const auto& env = assembly_.environment();
    auto* adapter = dynamic_cast<CatalogCoordinatorAdapter*>(&app->catalogCoordinator());
    if (!adapter) return;
    catalogChooser_ = std::make_unique<QtFileChooser>();
    catalogTransfers_ = std::make_unique<CoordinatorTransfers>(adapter->coordinator());
    catalogs_ = std::make_unique<CatalogWindowController>(CatalogWindowController::Dependencies{
        adapter->coordinator(), *env.mainQueue, *env.settings, *env.workspace, *catalogChooser_,
        *catalogTransfers_});
    app->onOpenCatalog = [this](const std::optional<std::string>& catalogID,
                                const std::optional<std::string>& revealPath) {
        catalogs_->show(catalogID, revealPath);
    };
}

} // namespace ulmaro
