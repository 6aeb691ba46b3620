// The application: a tray icon and a floating search panel, one copy per user session.

#include "UlmaroApp/AppAssembly.h"
#include "UlmaroApp/AppWindows.h"
#include "UlmaroApp/PanelWiring.h"
#include "UlmaroApp/QuitSignals.h"
#include "UlmaroAppKit/Platform/JsonFileSettingsStore.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"
#include "UlmaroAppKit/Shell/AppDelegate.h"
#include "UlmaroAppKit/Shell/AppMainMenu.h"
#include "UlmaroAppKit/UI/AppMenuShortcut.h"
#include "UlmaroAppKit/UI/OverlayPanel.h"
#include "UlmaroAppKit/UI/PanelKeyCallbacks.h"
#include "UlmaroAppKit/UI/TrayStatusItem.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <cstdlib>
#include <iostream>
#include <xcb/xcb.h>

#ifdef ULMARO_LSAN_SUPPRESSIONS
extern "C" const char* __lsan_default_options() {
    return "suppressions=" ULMARO_LSAN_SUPPRESSIONS ":print_suppressions=0";
}
#endif

namespace {

/// Qt aborts when the X server cannot be reached; this asks first.
bool displayAnswers() {
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screen);
    const bool answers = connection && xcb_connection_has_error(connection) == 0;
    if (connection) xcb_disconnect(connection);
    return answers;
}

/// The application menu's quit item as a panel shortcut (Ctrl+Q).
void installQuitShortcut(ulmaro::OverlayPanel& panel) {
    for (const auto& menu : ulmaro::AppMainMenu::make("Ulmaro"))
        for (const auto& item : menu.items) {
            if (item.action != ulmaro::AppMenuAction::terminate) continue;
            auto* quit = new QAction(QString::fromStdString(item.title), &panel);
            quit->setShortcut(ulmaro::appMenuShortcut(item));
            quit->setShortcutContext(Qt::WindowShortcut);
            QObject::connect(quit, &QAction::triggered, [] { QCoreApplication::quit(); });
            panel.addAction(quit);
        }
}

} // namespace

int main(int argc, char** argv) {
    using namespace ulmaro;
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

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ulmaro"));
    QApplication::setDesktopFileName(QStringLiteral("ulmaro"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/ulmaro/ulmaro.svg")));
    QApplication::setQuitOnLastWindowClosed(false);

    AppAssembly assembly;
    AppWindows windows(assembly);

    AppDelegate::Factories factories;
    factories.makeCoordinator = [&] {
        return AppCoordinator::create(assembly.environment(), assembly.options());
    };
    factories.attachWindows = [&](const std::shared_ptr<AppCoordinator>& app) {
        windows.attach(app);
    };
    factories.installPanelKeys = [&](const std::shared_ptr<AppCoordinator>& app) {
        PanelKeyCallbacks::install(assembly.panel(), app);
        installQuitShortcut(assembly.panel());
    };
    factories.buildPanelContent = [&](const std::shared_ptr<AppCoordinator>& app) {
        PanelWiring::buildContent(assembly.panel(), app, assembly.environment().preferences);
        assembly.tray().show();
    };
    factories.terminate = [] {};
    factories.flushSettings = [&] { assembly.settings().flush(); };
    AppDelegate delegate(std::move(factories));

    const std::vector<std::string> arguments(argv, argv + argc);
    // A later copy has summoned the first; it saves nothing and starts no event loop.
    if (!delegate.launch(arguments)) return 0;

    QuitSignals quitSignals([] { QCoreApplication::quit(); });
    QObject::connect(&application, &QCoreApplication::aboutToQuit, [&delegate] {
        QuitSignals::markQuitting();
        delegate.willTerminate();
    });
    return QApplication::exec();
}
