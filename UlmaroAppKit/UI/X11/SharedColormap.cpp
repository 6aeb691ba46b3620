#include "UlmaroAppKit/UI/X11/SharedColormap.h"

#include "UlmaroAppKit/UI/X11/X11Desktop.h"

#include <QCoreApplication>
#include <QPlatformSurfaceEvent>
#include <QWindow>

namespace ulmaro {

void SharedColormap::install() {
    static bool installed = false;
    QCoreApplication* application = QCoreApplication::instance();
    if (installed || !application || !X11Desktop::current()) return;
    installed = true;
    application->installEventFilter(new SharedColormap(application));
}

bool SharedColormap::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::PlatformSurface &&
        static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() ==
            QPlatformSurfaceEvent::SurfaceCreated)
        if (auto* window = qobject_cast<QWindow*>(watched))
            if (auto desktop = X11Desktop::current())
                desktop->useDefaultColormap(std::uint32_t(window->winId()));
    return false;
}

} // namespace ulmaro
