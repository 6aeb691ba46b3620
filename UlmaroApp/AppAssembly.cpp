#include "UlmaroApp/AppAssembly.h"

#include "UlmaroApp/LoggingOpener.h"
#include "UlmaroApp/ProbingPanelWindow.h"
#include "UlmaroApp/StampingHotKeyBackend.h"
#include "UlmaroApp/TestMode.h"
#include "UlmaroAppKit/Catalogs/CatalogCoordinatorAdapter.h"
#include "UlmaroAppKit/Catalogs/DiskImageDetector.h"
#include "UlmaroAppKit/Catalogs/VolumeEvents.h"
#include "UlmaroAppKit/Indexing/FullDiskAccess.h"
#include "UlmaroAppKit/Platform/JsonFileSettingsStore.h"
#include "UlmaroAppKit/Platform/SystemClock.h"
#include "UlmaroAppKit/Platform/SystemResultActions.h"
#include "UlmaroAppKit/Platform/ThreadSerialQueueFactory.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Shell/HotKeyCenter.h"
#include "UlmaroAppKit/Shell/SystemWorkspace.h"
#include "UlmaroAppKit/Shell/SystemWorkspaceOpener.h"
#include "UlmaroAppKit/Shell/XdgAutostartLoginItemProvider.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogPromptPanel.h"
#include "UlmaroAppKit/UI/MenuBar/TrayStatusItem.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Qt/QtHotKeyWatcher.h"
#include "UlmaroAppKit/UI/Qt/QtPasteboard.h"
#include "UlmaroAppKit/UI/Qt/QtTimerService.h"
#include "UlmaroAppKit/UI/X11/X11FrontmostAppTracker.h"
#include "UlmaroAppKit/UI/X11/X11HotKeyBackend.h"
#include "UlmaroKit/Platform/DataLocations.h"
#include "UlmaroKit/Scanning/FilesystemEstimate.h"
#include "UlmaroKit/Scanning/VolumeEnumerator.h"

#include <QCoreApplication>
#include <QDir>
#include <iostream>

namespace ulmaro {

AppAssembly::AppAssembly(std::shared_ptr<MainQueue> mainQueue,
                         std::shared_ptr<SummonChannel> summons) {
    auto& env = environment_;
    env.writeError = [](const std::string& line) {
        std::cerr << line << (line.ends_with('\n') ? "" : "\n");
    };
    env.mainQueue = std::move(mainQueue);
    // The launch's first step took the lock: this is the first copy.
    env.acquireInstanceLock = [] { return true; };
    env.summonChannel = std::move(summons);
    auto clock = std::make_shared<SystemClock>();
    env.clock = clock;
    env.timers = std::make_shared<QtTimerService>();
    env.queues = std::make_shared<ThreadSerialQueueFactory>();
    settings_ =
        std::make_shared<JsonFileSettingsStore>(JsonFileSettingsStore::defaultPath(), *env.queues);
    env.settings = settings_;
    env.firstRunSettings = settings_;
    env.preferences = std::make_shared<Preferences>(settings_);
    env.homeDirectory = QDir::homePath().toStdString();
    env.fullDiskAccessGranted = FullDiskAccess::systemProbe();

    panel_ = std::make_shared<OverlayPanel>();
    if (TestMode::probePath())
        env.panel = std::make_shared<ProbingPanelWindow>(panel_);
    else
        env.panel = panel_;
    makeHotKeys();

    env.loginItemProvider = std::make_shared<XdgAutostartLoginItemProvider>();
    env.frontmostTracker = X11FrontmostAppTracker::make();
    tray_ = std::make_shared<TrayStatusItem>(env.writeError);
    env.statusItem = tray_;
    auto pasteboard = std::make_shared<QtPasteboard>();
    auto actions = std::make_shared<SystemResultActions>(
        pasteboard, env.queues->makeQueue("app.ulmaro.result-actions", QueueQuality::utility),
        env.queues->makeQueue("app.ulmaro.content-types", QueueQuality::utility));
    env.actions = actions;
    if (const auto log = TestMode::openLog())
        env.opener = std::make_shared<LoggingOpener>(*log);
    else
        env.opener = std::make_shared<SystemWorkspaceOpener>(std::make_shared<SystemOpenLauncher>(),
                                                             env.writeError);
    env.workspace = std::make_shared<SystemWorkspace>(env.opener, actions, pasteboard);
    env.catalogPromptPresenter = std::make_shared<CatalogPromptPanel>();
    makeCatalogFactories();
    env.usedInodes = [] { return FilesystemEstimate::usedInodes(); };
    env.terminate = [] { QCoreApplication::quit(); };
}

AppAssembly::~AppAssembly() = default;

void AppAssembly::makeHotKeys() {
    auto& env = environment_;
    auto backend = X11HotKeyBackend::forSession(*env.mainQueue);
    auto x11 = std::dynamic_pointer_cast<X11HotKeyBackend>(backend);
    if (x11) hotKeyWatcher_ = std::make_unique<QtHotKeyWatcher>(x11);
    auto stamped = std::make_shared<StampingHotKeyBackend>(
        backend, [x11 = std::weak_ptr<X11HotKeyBackend>(x11), panel = panel_] {
            if (auto connection = x11.lock())
                panel->setActivationTimestamp(connection->lastPressTime());
        });
    env.hotKeys = HotKeyCenter::create(stamped, *env.mainQueue);
}

void AppAssembly::makeCatalogFactories() {
    auto& env = environment_;
    env.makeVolumeEvents = [](MainQueue& queue) { return std::make_unique<VolumeEvents>(queue); };
    env.warmVolumeProbes = [] { VolumeEnumerator::warmProbes(); };
    env.setProbesVolumeRoots = [](bool allowed) {
        VolumeEnumerator::setProbesVolumeRoots(allowed);
    };
    env.makeCatalogCoordinator =
        [main = env.mainQueue, clock = env.clock, queues = env.queues, timers = env.timers](
            CatalogLibrary& library, std::shared_ptr<Preferences> preferences, VolumeEvents& events,
            AppEnvironment::MountedVolumes volumes) -> std::shared_ptr<CatalogCoordinating> {
        return std::make_shared<CatalogCoordinatorAdapter>(
            library, std::move(preferences), events, std::move(volumes),
            CatalogCoordinatorAdapter::Platform{*main, *clock, *queues, *timers});
    };
    env.isDiskImage = [](const std::string& mountPath) {
        return DiskImageDetector::isDiskImage(mountPath);
    };
    env.externalVolumes = [] { return VolumeEnumerator::externalVolumes(); };
}

AppCoordinator::Options AppAssembly::options() const {
    AppCoordinator::Options options;
    options.indexPath = DataLocations::indexPath();
    if (const auto root = TestMode::scanRoot()) options.scanRoot = *root;
    return options;
}

} // namespace ulmaro
