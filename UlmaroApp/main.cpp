// The application: a tray icon and a floating search panel, one copy per user session.

#include "UlmaroApp/AppAssembly.h"
#include "UlmaroApp/AppWindows.h"
#include "UlmaroApp/InstanceGate.h"
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
#include <iostream>
#include <malloc.h>
#include <utility>
#include <xcb/xcb.h>

#ifdef ULMARO_LSAN_SUPPRESSIONS
extern "C" const char* __lsan_default_options() {
    return "suppressions=" ULMARO_LSAN_SUPPRESSIONS ":print_suppressions=0";
}
#endif

namespace {

/// glibc raises its mmap threshold to the largest block freed (up to 32 MiB) and its trim
/// threshold to twice that, so the start-up's large temporary buffers (the watch walk, the
/// catch-up sweep) leave a free top in a thread's arena resident for as long as the app runs:
/// about 15 MiB with 1,000,000 entries (bench/app-idle). Fixed values keep large blocks in
/// the arenas as the raised threshold would, and give back a free top beyond 4 MiB.
void keepIdleMemorySmall() {
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 4 << 20);
}

/// Qt aborts when the X server cannot be reached; this asks first.
bool displayAnswers() {
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screen);
    const bool answers = connection && xcb_connection_has_error(connection) == 0;
    if (connection) xcb_disconnect(connection);
    return answers;
}

/// The save at the end while the event loop runs; see `main`.
std::function<void()>* saveAtExit = nullptr;

} // namespace

int main(int argc, char** argv) {
    using namespace ulmaro;
    TestMode::mark("started");
    keepIdleMemorySmall();

    // The hot key, the focus hand-over and the tray speak X11; XWayland serves them too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    if (!displayAnswers()) {
        const QByteArray display = qgetenv("DISPLAY");
        std::cerr << "ulmaro: "
                  << (display.isEmpty()
                          ? std::string("no X display (DISPLAY is not set)")
                          : "the X display " + display.toStdString() + " does not answer")
                  << "; the panel needs X11 or XWayland\n";
        return 1;
    }
    // A later copy summons the first and ends here, before anything is built.
    auto mainQueue = std::make_shared<QtMainQueue>();
    InstanceGate gate = InstanceGate::pass(*mainQueue);
    if (gate.exitStatus) return *gate.exitStatus;

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ulmaro"));
    QApplication::setDesktopFileName(QStringLiteral("ulmaro"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/ulmaro/ulmaro.svg")));
    QApplication::setQuitOnLastWindowClosed(false);
    SharedColormap::install();
    TestMode::mark("qt ready");

    AppAssembly assembly(mainQueue, std::move(gate.summons));
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
