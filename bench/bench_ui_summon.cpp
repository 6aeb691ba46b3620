// Summon to visible on a real X server: from the XTEST press of the hot key to the panel
// mapped, exposed, painted and holding the keyboard in its field, through the real
// coordinator, hot-key grab and panel. Run under an X server with a window manager, e.g.
//   Xvfb :57 & DISPLAY=:57 openbox & DISPLAY=:57 build/release/bench/bench_ui_summon
// BM_Summon toggles one panel that was shown before; BM_FirstSummon builds the application
// anew for each sample, so it times the first summon after launch. A window of another
// client has the keyboard before each summon and gets it back at each dismissal.
#include "PaintProbe.h"
#include "UiBenchMain.h"
#include "UlmaroAppKit/Catalogs/CatalogCoordinating.h"
#include "UlmaroAppKit/Catalogs/CatalogPromptPresenting.h"
#include "UlmaroAppKit/Catalogs/VolumeEvents.h"
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/RecordingResultActions.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspace.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspaceOpener.h"
#include "UlmaroAppKit/MenuBar/LoginItemProvider.h"
#include "UlmaroAppKit/MenuBar/StatusItemView.h"
#include "UlmaroAppKit/Onboarding/OnboardingStore.h"
#include "UlmaroAppKit/Platform/SystemClock.h"
#include "UlmaroAppKit/Platform/ThreadSerialQueueFactory.h"
#include "UlmaroAppKit/Settings/FirstRunStore.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"
#include "UlmaroAppKit/Shell/HotKeyCenter.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Qt/QtHotKeyWatcher.h"
#include "UlmaroAppKit/UI/Qt/QtMainQueue.h"
#include "UlmaroAppKit/UI/Qt/QtTimerService.h"
#include "UlmaroAppKit/UI/X11/X11FrontmostAppTracker.h"
#include "UlmaroAppKit/UI/X11/X11HotKeyBackend.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

namespace ulmaro {
namespace {

constexpr qint64 limitMs = 10'000;

/// The panel as the application hands it over: each show carries the hot key's press time,
/// so the window manager lets the panel take the keyboard.
class TimestampedPanel final : public OverlayPanelWindow {
public:
    TimestampedPanel(std::shared_ptr<OverlayPanel> panel, std::shared_ptr<X11HotKeyBackend> keys)
        : panel_(std::move(panel)), keys_(std::move(keys)) {}
    bool isVisible() const override { return panel_->isVisible(); }
    PanelRect frame() const override { return panel_->frame(); }
    std::optional<PanelPoint> shownTopLeft() const override { return panel_->shownTopLeft(); }
    void restorePositionOrCenter(std::optional<PanelPoint> at) override {
        panel_->restorePositionOrCenter(at);
    }
    void centerOnActiveScreen() override { panel_->centerOnActiveScreen(); }
    void makeKeyAndOrderFront() override {
        panel_->setActivationTimestamp(keys_->lastPressTime());
        panel_->makeKeyAndOrderFront();
    }
    void focusSearchField() override { panel_->focusSearchField(); }
    void orderOut() override { panel_->orderOut(); }
    void setOnResignKey(std::function<void()> handler) override {
        panel_->setOnResignKey(std::move(handler));
    }
    bool previewIsOnScreen() const override { return panel_->previewIsOnScreen(); }

private:
    std::shared_ptr<OverlayPanel> panel_;
    std::shared_ptr<X11HotKeyBackend> keys_;
};

struct NoTray final : StatusItemView {
    void setListener(Listener*) override {}
    void setIcon(MenuBarViewModel::IconState::Glyph, int, const std::string&) override {}
    void setToolTip(const std::string&) override {}
    void setMenu(const MenuSpec&) override {}
    void retitleHealthLines(const std::vector<std::string>&) override {}
};
struct NoPrompt final : CatalogPromptPresenting {
    void present(const std::string&, std::function<void()>, std::function<void()>) override {}
    void dismiss() override {}
};
struct NoLoginItem final : LoginItemProvider {
    LoginItemStatus status() const override { return LoginItemStatus::enabled; }
    void registerItem() override {}
    void unregisterItem() override {}
};
struct NoCatalogs final : CatalogCoordinating {
    void start() override {}
    void startWatchingVolumes() override {}
    void startLiveUpdates() override {}
    void rescanAllOnline() override {}
    CatalogCoordinator::AddResult catalogDrive(const MountedVolume&) override {
        return CatalogCoordinator::NotOnAVolume{};
    }
    bool wantsPrompt(const MountedVolume&) const override { return false; }
    std::vector<MountedVolume> mountedVolumes() const override { return {}; }
    std::vector<CatalogInfo> pendingNew() const override { return {}; }
    bool isScanning(const std::string&) const override { return false; }
};

/// Another client of the server: presses keys through XTEST and watches the panel's
/// window for its map, unmap and expose events.
class Observer {
public:
    Observer() : c_(xcb_connect(nullptr, nullptr)), symbols_(xcb_key_symbols_alloc(c_)) {}
    ~Observer() {
        xcb_key_symbols_free(symbols_);
        xcb_disconnect(c_);
    }
    bool ok() const { return xcb_connection_has_error(c_) == 0; }

    /// A window of another application, which has the keyboard before each summon and
    /// gets it back at each dismissal, as on a desktop.
    void openOtherWindow() {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        other_ = xcb_generate_id(c_);
        const std::uint32_t values[] = {screen->white_pixel};
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, other_, screen->root, 0, 0, 800, 600, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL,
                          values);
        xcb_map_window(c_, other_);
        xcb_flush(c_);
    }

    void watch(xcb_window_t window) {
        window_ = window;
        const std::uint32_t mask =
            XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_FOCUS_CHANGE;
        xcb_change_window_attributes(c_, window, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(c_);
    }
    void pressAltSpace() {
        const xcb_keycode_t alt = keycode(0xffe9);
        const xcb_keycode_t space = keycode(0x20);
        fake(XCB_KEY_PRESS, alt);
        fake(XCB_KEY_PRESS, space);
        fake(XCB_KEY_RELEASE, space);
        fake(XCB_KEY_RELEASE, alt);
        xcb_flush(c_);
    }
    /// Reads what has arrived.
    void poll() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) {
            switch (event->response_type & 0x7f) {
            case XCB_MAP_NOTIFY:
                if (reinterpret_cast<xcb_map_notify_event_t*>(event)->window == window_) {
                    mapped = true;
                    exposed = false;
                }
                break;
            case XCB_UNMAP_NOTIFY:
                if (reinterpret_cast<xcb_unmap_notify_event_t*>(event)->window == window_)
                    mapped = false;
                break;
            case XCB_FOCUS_IN:
                if (reinterpret_cast<xcb_focus_in_event_t*>(event)->event == window_)
                    focused = true;
                break;
            case XCB_FOCUS_OUT:
                if (reinterpret_cast<xcb_focus_out_event_t*>(event)->event == window_)
                    focused = false;
                break;
            case XCB_EXPOSE:
                if (mapped && reinterpret_cast<xcb_expose_event_t*>(event)->window == window_)
                    exposed = true;
                break;
            default:
                break;
            }
            std::free(event);
        }
    }

    bool mapped = false;
    bool exposed = false;
    /// The server's keyboard focus is in the panel's window.
    bool focused = false;

private:
    xcb_keycode_t keycode(xcb_keysym_t keysym) {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols_, keysym);
        const xcb_keycode_t code = codes != nullptr ? codes[0] : 0;
        std::free(codes);
        return code;
    }
    void fake(std::uint8_t type, xcb_keycode_t code) {
        xcb_test_fake_input(c_, type, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }

    xcb_connection_t* c_;
    xcb_key_symbols_t* symbols_;
    xcb_window_t window_ = XCB_NONE;
    xcb_window_t other_ = XCB_NONE;
};

/// The application as the benchmark needs it: the real coordinator over the real panel,
/// hot key and Qt seams; no index, no catalogs, no tray.
struct SummonedApp {
    QTemporaryDir dir;
    std::shared_ptr<QtMainQueue> mainQueue = std::make_shared<QtMainQueue>();
    std::shared_ptr<X11HotKeyBackend> keys = std::make_shared<X11HotKeyBackend>(*mainQueue);
    QtHotKeyWatcher watcher{keys};
    std::shared_ptr<OverlayPanel> panel = std::make_shared<OverlayPanel>();
    QLineEdit* field = nullptr;
    PaintProbe* probe = nullptr;
    std::shared_ptr<AppCoordinator> app;

    SummonedApp() {
        auto* content = new QWidget;
        auto* layout = new QVBoxLayout(content);
        field = new QLineEdit(content);
        layout->addWidget(field);
        for (const char* row : {"notes.txt", "photo.png", "Projects", "report.pdf", "build.sh"})
            layout->addWidget(new QLabel(QString::fromUtf8(row), content));
        probe = new PaintProbe(content);
        probe->setFixedHeight(4);
        layout->addWidget(probe);
        panel->setContent(content);

        auto settings = std::make_shared<InMemorySettingsStore>();
        OnboardingStore::markCompleted(*settings);
        FirstRunStore::markFirstRunCompleted(*settings);
        AppEnvironment env;
        env.mainQueue = mainQueue;
        env.clock = std::make_shared<SystemClock>();
        env.timers = std::make_shared<QtTimerService>();
        env.queues = std::make_shared<ThreadSerialQueueFactory>();
        env.settings = settings;
        env.preferences = std::make_shared<Preferences>(settings);
        env.homeDirectory = dir.path().toStdString();
        env.hotKeys = HotKeyCenter::create(keys, *mainQueue);
        env.loginItemProvider = std::make_shared<NoLoginItem>();
        env.panel = std::make_shared<TimestampedPanel>(panel, keys);
        env.frontmostTracker = X11FrontmostAppTracker::make();
        env.statusItem = std::make_shared<NoTray>();
        env.workspace = std::make_shared<RecordingWorkspace>();
        env.opener = std::make_shared<RecordingWorkspaceOpener>();
        env.actions = std::make_shared<RecordingResultActions>();
        env.catalogPromptPresenter = std::make_shared<NoPrompt>();
        env.makeVolumeEvents = [](MainQueue& queue) {
            VolumeEvents::Options none;
            none.mountTable.clear();
            return std::make_unique<VolumeEvents>(
                queue, [] { return std::vector<MountedVolume>{}; }, none);
        };
        env.makeCatalogCoordinator = [](CatalogLibrary&, std::shared_ptr<Preferences>,
                                        VolumeEvents&, AppEnvironment::MountedVolumes) {
            return std::make_shared<NoCatalogs>();
        };
        AppCoordinator::Options options;
        options.indexPath = dir.filePath(QStringLiteral("index.bin")).toStdString();
        options.startIndexingImmediately = false;
        app = AppCoordinator::create(std::move(env), std::move(options));
    }

    bool ready() const { return keys->isConnected(); }
};

/// The median and the 95th percentile of the samples, in milliseconds, as counters.
void reportPercentiles(benchmark::State& state, std::vector<double> seconds) {
    if (seconds.empty()) return;
    std::sort(seconds.begin(), seconds.end());
    auto at = [&](double q) {
        return 1000 *
               seconds[std::min(seconds.size() - 1, std::size_t(q * double(seconds.size())))];
    };
    state.counters["median_ms"] = at(0.5);
    state.counters["p95_ms"] = at(0.95);
}

bool spinUntil(Observer& observer, const std::function<bool()>& done, qint64 limit = limitMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limit) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        observer.poll();
    }
    return true;
}

/// One press of the hot key on a hidden panel; its time in seconds, or a negative value.
double summonOnce(SummonedApp& s, Observer& observer) {
    s.probe->painted = false;
    QElapsedTimer timer;
    timer.start();
    observer.pressAltSpace();
    // The keyboard as the server sees it, and the field as the window's focus widget: keys
    // typed now reach the field.
    const bool shown = spinUntil(observer, [&] {
        return observer.mapped && observer.exposed && observer.focused && s.probe->painted &&
               s.panel->focusWidget() == s.field;
    });
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    return shown ? seconds : -1;
}

bool dismissWithHotKey(SummonedApp& s, Observer& observer) {
    observer.pressAltSpace();
    return spinUntil(observer, [&] { return !observer.mapped && !s.panel->isVisible(); });
}

void BM_Summon(benchmark::State& state) {
    SummonedApp s;
    Observer observer;
    if (!s.ready() || !observer.ok() || !s.app->registerHotKeyWithRetry()) {
        state.SkipWithError("no X server, or Alt+Space is taken");
        return;
    }
    observer.watch(s.panel->winId());
    observer.openOtherWindow();
    spinUntil(
        observer, [] { return false; }, 300);
    // Shown once before: the timed summons are of a panel the server already knows.
    if (summonOnce(s, observer) < 0 || !dismissWithHotKey(s, observer)) {
        state.SkipWithError("the panel never showed");
        return;
    }
    std::vector<double> samples;
    for (auto _ : state) {
        const double seconds = summonOnce(s, observer);
        if (seconds < 0) {
            state.SkipWithError("the panel never showed with the field focused");
            break;
        }
        state.SetIterationTime(seconds);
        samples.push_back(seconds);
        state.PauseTiming();
        const bool hidden = dismissWithHotKey(s, observer);
        state.ResumeTiming();
        if (!hidden) {
            state.SkipWithError("the panel never hid");
            break;
        }
    }
    reportPercentiles(state, std::move(samples));
}

void BM_FirstSummon(benchmark::State& state) {
    std::vector<double> samples;
    for (auto _ : state) {
        state.PauseTiming();
        auto s = std::make_unique<SummonedApp>();
        Observer observer;
        if (!s->ready() || !observer.ok() || !s->app->registerHotKeyWithRetry()) {
            state.SkipWithError("no X server, or Alt+Space is taken");
            break;
        }
        observer.watch(s->panel->winId());
        observer.openOtherWindow();
        spinUntil(
            observer, [] { return false; }, 300);
        state.ResumeTiming();
        const double seconds = summonOnce(*s, observer);
        if (seconds < 0) {
            state.SkipWithError("the panel never showed with the field focused");
            break;
        }
        state.SetIterationTime(seconds);
        samples.push_back(seconds);
        state.PauseTiming();
        s->app->dismissOverlay();
        s.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    reportPercentiles(state, std::move(samples));
}

BENCHMARK(BM_Summon)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_FirstSummon)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

} // namespace
} // namespace ulmaro

int main(int argc, char** argv) {
    if (std::getenv("DISPLAY") == nullptr) {
        std::fprintf(stderr, "bench_ui_summon: needs an X server with a window manager "
                             "(DISPLAY is not set)\n");
        return 1;
    }
    return ulmaro::bench::runUiBenchmarks(argc, argv, "xcb");
}
