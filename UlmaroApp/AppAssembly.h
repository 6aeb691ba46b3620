#pragma once

#include "UlmaroAppKit/Shell/AppCoordinator.h"
#include "UlmaroAppKit/Shell/AppEnvironment.h"

#include <memory>

namespace ulmaro {

class JsonFileSettingsStore;
class OverlayPanel;
class QtHotKeyWatcher;
class TrayStatusItem;

/// The application's real parts, made once: the Qt seams, the settings file under the XDG
/// config folder, the X11 hot key, the panel, the tray item and the system's openers, over
/// the main queue and the summon channel of the launch's first step (`InstanceGate`), which
/// made this the first copy. Owns what the environment points into. GUI thread only.
class AppAssembly {
public:
    AppAssembly(std::shared_ptr<MainQueue> mainQueue, std::shared_ptr<SummonChannel> summons);
    ~AppAssembly();
    AppAssembly(const AppAssembly&) = delete;
    AppAssembly& operator=(const AppAssembly&) = delete;

    const AppEnvironment& environment() const { return environment_; }
    AppCoordinator::Options options() const;
    OverlayPanel& panel() const { return *panel_; }
    TrayStatusItem& tray() const { return *tray_; }
    JsonFileSettingsStore& settings() const { return *settings_; }

private:
    void makeHotKeys();
    void makeCatalogFactories();

    AppEnvironment environment_;
    std::shared_ptr<JsonFileSettingsStore> settings_;
    std::shared_ptr<OverlayPanel> panel_;
    std::shared_ptr<TrayStatusItem> tray_;
    std::unique_ptr<QtHotKeyWatcher> hotKeyWatcher_;
};

} // namespace ulmaro
