// The application module: a tray icon and a floating search panel, loaded by the launcher
// (main.cpp) once it has become the one copy of the user session.

#include "UlmaroApp/AppAssembly.h"
#include "UlmaroApp/AppWindows.h"
#include "UlmaroApp/ApplicationLaunch.h"
#include "UlmaroApp/PanelWiring.h"
#include "UlmaroApp/QuitSignals.h"
#include "UlmaroApp/SettingsDamageNotice.h"
#include "UlmaroApp/TestMode.h"
#include "UlmaroAppKit/Platform/JsonFileSettingsStore.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"
#include "UlmaroAppKit/Shell/AppDelegate.h"
#include "UlmaroAppKit/Shell/AppMainMenu.h"
#include "UlmaroAppKit/UI/MenuBar/AppMenuShortcut.h"
#include "UlmaroAppKit/UI/MenuBar/TrayStatusItem.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Panel/PanelKeyCallbacks.h"
#include "UlmaroAppKit/UI/Qt/QtMainQueue.h"
#include "UlmaroAppKit/UI/X11/SharedColormap.h"
#include "UlmaroKit/Platform/WorkerPool.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <cstdlib>
#include <functional>
#include <utility>

namespace {

/// The save at the end while the event loop runs; see `ulmaroApplicationMain`.
std::function<void()>* saveAtExit = nullptr;

} // namespace

extern "C" int ulmaroApplicationMain(int argc, char** argv, ulmaro::ApplicationLaunch* launch) {
    using namespace ulmaro;
    auto mainQueue = std::make_shared<QtMainQueue>();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ulmaro"));
    QApplication::setDesktopFileName(QStringLiteral("ulmaro"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/ulmaro/ulmaro.svg")));
    QApplication::setQuitOnLastWindowClosed(false);
    SharedColormap::install();
    launch->summonQueue->attach(mainQueue);
    TestMode::mark("qt ready");

    AppAssembly assembly(mainQueue, std::move(launch->summons));
    AppWindows windows(assembly);
    TestMode::mark("assembled");

    AppDelegate::Factories factories;
    factories.makeCoordinator = [&] {
        auto coordinator = AppCoordinator::create(assembly.environment(), assembly.options());
        TestMode::mark("coordinator made");
        return coordinator;
    };
    factories.attachWindows = [&](const std::shared_ptr<AppCoordinator>& app) {
        windows.attach(app);
    };
    factories.installPanelKeys = [&](const std::shared_ptr<AppCoordinator>& app) {
        PanelKeyCallbacks::install(assembly.panel(), app);
        addQuitShortcut(assembly.panel());
    };
    factories.buildPanelContent = [&](const std::shared_ptr<AppCoordinator>& app) {
        PanelWiring::buildContent(assembly.panel(), app, assembly.environment().preferences);
        TestMode::mark("panel built");
        assembly.tray().show();
        TestMode::mark("tray shown");
    };
    factories.terminate = [] {};
    factories.flushSettings = [&] { assembly.settings().flush(); };
    AppDelegate delegate(std::move(factories));

    const std::vector<std::string> arguments(argv, argv + argc);
    // A later copy has summoned the first; it saves nothing and starts no event loop.
    if (!delegate.launch(arguments)) return 0;
    TestMode::mark("launched");
    if (const auto& damage = assembly.settings().damage())
        showSettingsDamageNotice(assembly.settings().damagedPath(), *damage,
                                 assembly.panel().isVisible() ? &assembly.panel() : nullptr);

    QuitSignals quitSignals([] { QCoreApplication::quit(); });
    std::function<void()> save = [&delegate] {
        QuitSignals::markQuitting();
        delegate.willTerminate();
    };
    QObject::connect(&application, &QCoreApplication::aboutToQuit, save);
    // When the X connection breaks (a logout that ends the X server) Qt calls exit() from
    // the event loop, with no aboutToQuit: the save then runs among exit's handlers, while
    // this frame still lives. The worker pool is made first so that it is destroyed after
    // the save has stopped the watcher, whose walk runs on it.
    WorkerPool::shared();
    saveAtExit = &save;
    std::atexit([] {
        if (auto* pending = std::exchange(saveAtExit, nullptr)) (*pending)();
    });
    const int status = QApplication::exec();
    saveAtExit = nullptr;
    return status;
}
