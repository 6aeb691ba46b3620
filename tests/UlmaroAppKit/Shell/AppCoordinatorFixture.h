#pragma once

#include "UlmaroAppKit/Catalogs/CatalogCoordinating.h"
#include "UlmaroAppKit/Catalogs/CatalogLibrary.h"
#include "UlmaroAppKit/Catalogs/CatalogPromptPresenting.h"
#include "UlmaroAppKit/Catalogs/CatalogPromptQueue.h"
#include "UlmaroAppKit/Catalogs/VolumeEvents.h"
#include "UlmaroAppKit/Fakes/FakeHotKeyBackend.h"
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualChangeWatchers.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Fakes/RecordingResultActions.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspace.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspaceOpener.h"
#include "UlmaroAppKit/MenuBar/LoginItemProvider.h"
#include "UlmaroAppKit/MenuBar/MenuBarController.h"
#include "UlmaroAppKit/MenuBar/StatusItemView.h"
#include "UlmaroAppKit/Onboarding/OnboardingStore.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/Panel/FrontmostAppTracking.h"
#include "UlmaroAppKit/Panel/OverlayPanelController.h"
#include "UlmaroAppKit/Panel/OverlayPanelWindow.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Panel/RecentsStore.h"
#include "UlmaroAppKit/Panel/SavedSearchStore.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"
#include "UlmaroAppKit/Shell/HotKeyCenter.h"
#include "UlmaroAppKit/Shell/SummonChannel.h"
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "support/TempDir.h"
#include "support/VolumeFixtures.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace ulmaro::test {

using Effects = std::vector<std::string>;

struct FakePanelWindow final : OverlayPanelWindow {
    Effects& effects;
    bool visible = false;
    PanelRect rect{100, 80, 680, 480};
    std::function<void()> onResignKey;

    explicit FakePanelWindow(Effects& log) : effects(log) {}
    bool isVisible() const override { return visible; }
    PanelRect frame() const override { return rect; }
    std::optional<PanelPoint> shownTopLeft() const override {
        if (!visible) return std::nullopt;
        return rect.topLeft();
    }
    void restorePositionOrCenter(std::optional<PanelPoint>) override {}
    void centerOnActiveScreen() override { effects.push_back("panel centred"); }
    void makeKeyAndOrderFront() override {
        visible = true;
        effects.push_back("panel shown");
    }
    void focusSearchField() override {}
    void orderOut() override {
        visible = false;
        effects.push_back("panel hidden");
    }
    void setOnResignKey(std::function<void()> handler) override {
        onResignKey = std::move(handler);
    }
    bool previewIsOnScreen() const override { return false; }
};

struct RecordingFrontmost final : FrontmostAppTracking {
    Effects& effects;
    explicit RecordingFrontmost(Effects& log) : effects(log) {}
    std::optional<AppReference> currentFrontmostApp() override { return AppReference{42, 7}; }
    void activate(const AppReference&) override { effects.push_back("previous app activated"); }
};

/// The tray item: "status item" when the menu-bar controller takes it, "menu" for each
/// update (every update sets the tooltip); the menu's items can be chosen.
struct LoggingStatusItem final : StatusItemView {
    Effects& effects;
    Listener* listener = nullptr;
    MenuSpec menu;
    std::vector<std::string> toolTips;
    std::size_t updates = 0;
    bool trayShown = true;

    explicit LoggingStatusItem(Effects& log) : effects(log) {}
    bool desktopShowsTray() const override { return trayShown; }
    void setListener(Listener* newListener) override {
        listener = newListener;
        if (listener) effects.push_back("status item");
    }
    void setIcon(MenuBarViewModel::IconState::Glyph, int, const std::string&) override {}
    void setToolTip(const std::string& text) override {
        toolTips.push_back(text);
        ++updates;
        effects.push_back("menu");
    }
    void setMenu(const MenuSpec& newMenu) override { menu = newMenu; }
    void retitleHealthLines(const std::vector<std::string>&) override {}
    void choose(MenuAction action, std::optional<std::string> payload = std::nullopt) {
        listener->perform(action, payload);
    }
    bool showsItem(const std::string& title) const {
        return std::any_of(menu.items.begin(), menu.items.end(),
                           [&](const MenuItemSpec& item) { return item.title == title; });
    }
};

/// Stands in for the catalog pipeline, which is built beside this coordinator.
struct FakeCatalogCoordinator final : CatalogCoordinating {
    Effects& effects;
    std::vector<MountedVolume> volumes;
    std::vector<MountedVolume> catalogued;
    std::vector<CatalogInfo> pending;
    std::string scanningID;
    bool wanted = true;

    explicit FakeCatalogCoordinator(Effects& log) : effects(log) {}
    void start() override { effects.push_back("catalogs start"); }
    void startWatchingVolumes() override { effects.push_back("catalogs watch volumes"); }
    void startLiveUpdates() override { effects.push_back("catalogs live updates"); }
    void rescanAllOnline() override { effects.push_back("catalogs rescan online"); }
    CatalogCoordinator::AddResult catalogDrive(const MountedVolume& volume) override {
        catalogued.push_back(volume);
        effects.push_back("catalog " + volume.mountPath);
        return CatalogCoordinator::Started{"new-" + volume.uuid};
    }
    bool wantsPrompt(const MountedVolume&) const override { return wanted; }
    std::vector<MountedVolume> mountedVolumes() const override { return volumes; }
    std::vector<CatalogInfo> pendingNew() const override { return pending; }
    bool isScanning(const std::string& id) const override { return id == scanningID; }
};

struct RecordingPromptPresenter final : CatalogPromptPresenting {
    std::vector<std::string> titles;
    std::function<void()> catalog;
    std::function<void()> decline;
    void present(const std::string& title, std::function<void()> onCatalog,
                 std::function<void()> onDecline) override {
        titles.push_back(title);
        catalog = std::move(onCatalog);
        decline = std::move(onDecline);
    }
    void dismiss() override {}
};

struct FakeSummonChannel final : SummonChannel {
    Effects& effects;
    std::shared_ptr<std::function<void()>> handler = std::make_shared<std::function<void()>>();
    explicit FakeSummonChannel(Effects& log) : effects(log) {}
    void post() override { effects.push_back("summon posted"); }
    Subscription observe(std::function<void()> h) override {
        *handler = std::move(h);
        effects.push_back("summon observed");
        return Subscription([handler = handler] { *handler = nullptr; });
    }
};

struct FakeLoginItemProvider final : LoginItemProvider {
    LoginItemStatus current = LoginItemStatus::notRegistered;
    int registrations = 0;
    LoginItemStatus status() const override { return current; }
    void registerItem() override {
        ++registrations;
        current = LoginItemStatus::enabled;
    }
    void unregisterItem() override { current = LoginItemStatus::notRegistered; }
};

/// A fresh, fully attributed index listing `volumes` volumes: loading it starts no rescan.
inline void writeIndex(const std::filesystem::path& path, std::size_t volumes) {
    IndexBuilder builder;
    const auto root = builder.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    builder.setAttributes(root, 0, 1700000000);
    std::vector<VolumeEntry> entries;
    for (std::size_t i = 0; i < volumes; ++i)
        entries.push_back(
            {"UUID-" + std::to_string(i), i == 0 ? "/" : "/media/v" + std::to_string(i), 0, true});
    std::filesystem::create_directories(path.parent_path());
    IndexWriter::write(builder, entries, path);
}

/// A real coordinator over fakes of everything that reaches the system; every effect a
/// test may order lands in `effects`.
struct AppFixture {
    TempDir dir;
    Effects effects;
    std::shared_ptr<ManualMainQueue> main = std::make_shared<ManualMainQueue>();
    std::shared_ptr<ManualClock> clock =
        std::make_shared<ManualClock>(std::chrono::system_clock::now());
    std::shared_ptr<ManualSerialQueueFactory> queues = std::make_shared<ManualSerialQueueFactory>();
    std::shared_ptr<InMemorySettingsStore> settings = std::make_shared<InMemorySettingsStore>();
    std::shared_ptr<Preferences> preferences = std::make_shared<Preferences>(settings);
    std::shared_ptr<FakeHotKeyBackend> hotKeyBackend = std::make_shared<FakeHotKeyBackend>();
    std::shared_ptr<HotKeyCenter> hotKeys = HotKeyCenter::create(hotKeyBackend, *main);
    std::shared_ptr<FakePanelWindow> panel = std::make_shared<FakePanelWindow>(effects);
    std::shared_ptr<RecordingWorkspaceOpener> opener = std::make_shared<RecordingWorkspaceOpener>();
    std::shared_ptr<RecordingResultActions> actions = std::make_shared<RecordingResultActions>();
    std::shared_ptr<RecordingPromptPresenter> presenter =
        std::make_shared<RecordingPromptPresenter>();
    std::shared_ptr<FakeSummonChannel> summon = std::make_shared<FakeSummonChannel>(effects);
    std::shared_ptr<FakeLoginItemProvider> login = std::make_shared<FakeLoginItemProvider>();
    std::shared_ptr<FakeCatalogCoordinator> catalogs =
        std::make_shared<FakeCatalogCoordinator>(effects);
    std::shared_ptr<LoggingStatusItem> statusItem = std::make_shared<LoggingStatusItem>(effects);
    std::shared_ptr<RecordingWorkspace> workspace = std::make_shared<RecordingWorkspace>();
    std::vector<MountedVolume> volumes = {volume("ROOT-UUID", "/"),
                                          volume("USB-UUID", "/media/me/USB")};
    std::vector<std::string> loopBacked;
    std::vector<MountedVolume> external;
    std::optional<std::int64_t> usedInodes = 812'345;
    std::filesystem::path home = dir / "home";
    bool access = true;
    bool primary = true;
    std::vector<std::string> errors;
    std::vector<std::string> systemLog;
    /// The inputs of every engine built, in order.
    std::vector<SearchEngine::Inputs> engines;
    int terminations = 0;
    /// The index's watchers: nothing watches this machine's disk either.
    ManualChangeWatchers indexWatchers;
    AppCoordinator::Options options;

    AppFixture() {
        options.indexPath = dir / "data" / "index.bin";
        // The scan queues are never drained: nothing reads this machine's disk.
        preferences->setSearchThisMac(true);
        // No rescan owed for access: tests that want one clear it.
        settings->setBool(AppCoordinator::Keys::lastScanUsedFullDiskAccess, true);
    }

    void completeOnboarding() { OnboardingStore::markCompleted(*settings); }

    AppEnvironment environment() {
        AppEnvironment env;
        env.mainQueue = main;
        env.clock = clock;
        env.timers = clock;
        env.indexWatchers = indexWatchers.factory();
        env.queues = queues;
        env.settings = settings;
        env.firstRunSettings = settings;
        env.preferences = preferences;
        env.homeDirectory = home;
        env.fullDiskAccessGranted = [this] { return access; };
        env.acquireInstanceLock = [this] {
            effects.push_back("lock");
            return primary;
        };
        env.summonChannel = summon;
        env.hotKeys = hotKeys;
        env.loginItemProvider = login;
        env.panel = panel;
        env.frontmostTracker = std::make_shared<RecordingFrontmost>(effects);
        env.statusItem = statusItem;
        env.workspace = workspace;
        env.opener = opener;
        env.actions = actions;
        env.catalogPromptPresenter = presenter;
        env.makeVolumeEvents = [this](MainQueue& queue) {
            VolumeEvents::Options none;
            none.mountTable.clear();
            none.relistAfter.clear();
            return std::make_unique<VolumeEvents>(
                queue, [this] { return volumes; }, none);
        };
        env.warmVolumeProbes = [this] { effects.push_back("probes warmed"); };
        env.setProbesVolumeRoots = [this](bool allowed) {
            effects.push_back(allowed ? "probes roots" : "probes no roots");
        };
        env.makeCatalogCoordinator = [this](CatalogLibrary&, std::shared_ptr<Preferences>,
                                            VolumeEvents&, AppEnvironment::MountedVolumes list) {
            mountedList = std::move(list);
            return catalogs;
        };
        env.isDiskImage = [this](const std::string& mountPath) {
            return std::find(loopBacked.begin(), loopBacked.end(), mountPath) != loopBacked.end();
        };
        env.externalVolumes = [this] { return external; };
        env.usedInodes = [this] { return usedInodes; };
        env.terminate = [this] { ++terminations; };
        env.writeError = [this](const std::string& line) { errors.push_back(line); };
        env.writeSystemLog = [this](const std::string& line) { systemLog.push_back(line); };
        env.makeSearchEngine = [this](SearchEngine::Inputs inputs) {
            engines.push_back(inputs);
            return SearchEngine::make(std::move(inputs), *queues, clock);
        };
        env.extractDocumentText = [](const std::string&) -> std::optional<std::string> {
            return std::nullopt;
        };
        return env;
    }

    std::shared_ptr<AppCoordinator> make() {
        return AppCoordinator::create(environment(), options);
    }

    AppEnvironment::MountedVolumes mountedList;

    std::size_t indexOf(const std::string& effect) const {
        return static_cast<std::size_t>(std::find(effects.begin(), effects.end(), effect) -
                                        effects.begin());
    }
};

} // namespace ulmaro::test
