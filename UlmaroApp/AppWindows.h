#pragma once

#include "UlmaroAppKit/Platform/Observable.h"

#include <memory>

namespace ulmaro {

class AppAssembly;
class AppCoordinator;
class CatalogWindowController;
class CoordinatorTransfers;
class QtFileChooser;
class SettingsWindow;
class SettingsWindowController;

/// The Settings and catalog windows, made at launch and shown on request: the coordinator's
/// and the panel's "open" callbacks lead here. GUI thread only.
class AppWindows {
public:
    explicit AppWindows(AppAssembly& assembly);
    ~AppWindows();
    AppWindows(const AppWindows&) = delete;
    AppWindows& operator=(const AppWindows&) = delete;

    /// Makes both windows' controllers over `app` and installs the callbacks that show them.
    void attach(const std::shared_ptr<AppCoordinator>& app);

private:
    void attachSettings(const std::shared_ptr<AppCoordinator>& app);
    void attachCatalogs(const std::shared_ptr<AppCoordinator>& app);

    AppAssembly& assembly_;
    std::shared_ptr<SettingsWindowController> settingsController_;
    Subscription hotKeyStatusForwarding_;
    std::unique_ptr<SettingsWindow> settings_;
    std::unique_ptr<QtFileChooser> catalogChooser_;
    std::unique_ptr<CoordinatorTransfers> catalogTransfers_;
    std::unique_ptr<CatalogWindowController> catalogs_;
};

} // namespace ulmaro
