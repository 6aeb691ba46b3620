// The launcher: one copy per user session. It links no Qt, so that a later launch, which
// only summons the running copy, ends before the dynamic loader has mapped any of it; the
// first copy then loads the application module (ApplicationMain.cpp).

#include "UlmaroApp/ApplicationLaunch.h"
#include "UlmaroApp/InstanceGate.h"
#include "UlmaroApp/TestMode.h"
#include "UlmaroAppKit/Platform/ForwardingMainQueue.h"
#include "UlmaroKit/Platform/ProgramLocation.h"

#include <cstdlib>
#include <dlfcn.h>
#include <iostream>
#include <malloc.h>
#include <string>
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

bool variableIsEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr || *value == '\0';
}

using ApplicationMain = decltype(&ulmaroApplicationMain);

/// The module from the private library folder; never unloaded, since the application's
/// exit handlers run from it.
ApplicationMain loadApplication() {
    const auto folder =
        ulmaro::ProgramLocation::privateLibraryDirectory(ulmaro::ProgramLocation::executable());
    const auto path = (folder / ULMARO_APP_MODULE_NAME).string();
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* error = ::dlerror();
        std::cerr << "ulmaro: cannot load the application module " << path << ": "
                  << (error ? error : "unknown error") << '\n';
        return nullptr;
    }
    auto* entry = reinterpret_cast<ApplicationMain>(::dlsym(handle, "ulmaroApplicationMain"));
    if (entry == nullptr) {
        const char* error = ::dlerror();
        std::cerr << "ulmaro: cannot load the application module " << path << ": "
                  << (error ? error : "it has no entry") << '\n';
    }
    return entry;
}

} // namespace

int main(int argc, char** argv) {
    using namespace ulmaro;
    TestMode::mark("started");
    keepIdleMemorySmall();

    // The hot key, the focus hand-over and the tray speak X11; XWayland serves them too.
    if (variableIsEmpty("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    if (!displayAnswers()) {
        const char* display = std::getenv("DISPLAY");
        std::cerr << "ulmaro: "
                  << (display == nullptr || *display == '\0'
                          ? std::string("no X display (DISPLAY is not set)")
                          : "the X display " + std::string(display) + " does not answer")
                  << "; the panel needs X11 or XWayland\n";
        return 1;
    }
    // A later copy summons the first and ends here, before anything is built or loaded.
    auto summonQueue = std::make_shared<ForwardingMainQueue>();
    InstanceGate gate = InstanceGate::pass(*summonQueue);
    if (gate.exitStatus) return *gate.exitStatus;

    const ApplicationMain application = loadApplication();
    if (application == nullptr) return 1;
    ApplicationLaunch launch{std::move(summonQueue), std::move(gate.summons)};
    return application(argc, argv, &launch);
}
