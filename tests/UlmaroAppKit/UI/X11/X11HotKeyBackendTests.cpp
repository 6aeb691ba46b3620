#include "PrivateXServer.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Shell/HotKeyCenter.h"
#include "UlmaroAppKit/Shell/WaylandHotKeyBackend.h"
#include "UlmaroAppKit/UI/Qt/QtHotKeyWatcher.h"
#include "UlmaroAppKit/UI/Qt/QtMainQueue.h"
#include "UlmaroAppKit/UI/X11/X11HotKeyBackend.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

namespace ulmaro {
namespace {

using test::PrivateXServer;
using namespace std::chrono_literals;

constexpr xcb_keysym_t altL = 0xffe9, space = ' ', f12 = 0xffc9, capsLock = 0xffe5,
                       numLock = 0xff7f, letterA = 'a';
constexpr KeyCombo altSpace = KeyCombo::optionSpace;
constexpr KeyCombo altA{0, KeyCombo::option};
// Pressed after a sequence: once it has fired, everything sent before it has been handled.
constexpr KeyCombo marker{111, KeyCombo::option}; // Alt+F12

const std::filesystem::path testConfig = ULMARO_OPENBOX_TEST_CONFIG; // no key bindings
const std::filesystem::path stockConfig = "/etc/xdg/openbox/rc.xml";

/// Another X client: the user's keyboard through XTEST, or a program that grabs keys.
class OtherClient {
public:
    explicit OtherClient(const std::string& display) : c_(xcb_connect(display.c_str(), nullptr)) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        symbols_ = xcb_key_symbols_alloc(c_);
    }
    ~OtherClient() {
        xcb_key_symbols_free(symbols_);
        xcb_disconnect(c_);
    }

    /// After a layout change.
    void reloadKeymap() {
        xcb_key_symbols_free(symbols_);
        symbols_ = xcb_key_symbols_alloc(c_);
    }

    xcb_keycode_t keycode(xcb_keysym_t keysym) {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols_, keysym);
        xcb_keycode_t code = codes != nullptr ? codes[0] : 0;
        std::free(codes);
        return code;
    }

    void down(xcb_keycode_t code) { fake(XCB_KEY_PRESS, code); }
    void up(xcb_keycode_t code) { fake(XCB_KEY_RELEASE, code); }
    void tap(xcb_keycode_t code) {
        down(code);
        up(code);
    }
    void tapWithAlt(xcb_keycode_t code) {
        down(keycode(altL));
        tap(code);
        up(keycode(altL));
    }

    /// Grabs Alt+`keysym` with exactly `locks` added; false when the server refuses.
    bool grabAlt(xcb_keysym_t keysym, std::uint16_t locks) {
        auto cookie = xcb_grab_key_checked(c_, 1, root_, XCB_MOD_MASK_1 | locks, keycode(keysym),
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        auto* error = xcb_request_check(c_, cookie);
        std::free(error);
        return error == nullptr;
    }

    std::uint16_t lockState() {
        auto* pointer = xcb_query_pointer_reply(c_, xcb_query_pointer(c_, root_), nullptr);
        std::uint16_t state = pointer != nullptr ? pointer->mask : 0;
        std::free(pointer);
        return state & (XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2);
    }

private:
    void fake(std::uint8_t type, xcb_keycode_t code) {
        xcb_test_fake_input(c_, type, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(c_);
    }

    xcb_connection_t* c_;
    xcb_window_t root_;
    xcb_key_symbols_t* symbols_;
};

struct X11HotKeyFixture : ::testing::Test {
    std::unique_ptr<PrivateXServer> server;
    ManualMainQueue mainQueue;
    std::shared_ptr<X11HotKeyBackend> backend;
    std::shared_ptr<HotKeyCenter> center;
    std::unique_ptr<OtherClient> user;
    std::shared_ptr<HotKey> markerKey;
    int markerPresses = 0;

    void start(const std::filesystem::path& config) {
        server = std::make_unique<PrivateXServer>(config);
        ASSERT_FALSE(server->display().empty()) << server->error();
        backend = std::make_shared<X11HotKeyBackend>(mainQueue, server->display().c_str());
        ASSERT_TRUE(backend->isConnected());
        center = HotKeyCenter::create(backend, mainQueue);
        user = std::make_unique<OtherClient>(server->display());
    }
    void SetUp() override { start(testConfig); }

    /// Serves the backend's descriptor and the main queue as the event loop would, until
    /// `done` holds or the limit passes.
    bool serveUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
        auto until = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > until) return false;
            pollfd pfd{backend->fileDescriptor(), POLLIN, 0};
            ::poll(&pfd, 1, 20);
            backend->processEvents();
            mainQueue.drain();
        }
        return true;
    }

    /// Presses the marker and waits for it: every key sent before has been handled.
    void settle() {
        if (!markerKey) {
            markerKey = center->makeHotKey(marker, [this] { ++markerPresses; });
            ASSERT_TRUE(markerKey->registerKey());
        }
        int expected = markerPresses + 1;
        user->tapWithAlt(user->keycode(f12));
        ASSERT_TRUE(serveUntil([&] { return markerPresses == expected; }));
    }
};

TEST_F(X11HotKeyFixture, FiresOnceWithCapsLockAndNumLockEachOnAndOff) {
    int presses = 0;
    auto hotKey = center->makeHotKey(altSpace, [&] { ++presses; });
    ASSERT_TRUE(hotKey->registerKey());
    EXPECT_EQ(backend->lastPressTime(), 0u);

    struct Step {
        xcb_keysym_t toggle; // 0: none
        std::uint16_t locks;
    };
    int expected = 0;
    for (auto [toggle, locks] : {Step{0, 0}, Step{capsLock, XCB_MOD_MASK_LOCK},
                                 Step{numLock, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2},
                                 Step{capsLock, XCB_MOD_MASK_2}, Step{numLock, 0}}) {
        if (toggle != 0) user->tap(user->keycode(toggle));
        ASSERT_TRUE(serveUntil([&] { return user->lockState() == locks; }, 2s));
        user->tapWithAlt(user->keycode(space));
        ++expected;
        EXPECT_TRUE(serveUntil([&] { return presses == expected; })) << "locks " << locks;
    }
    EXPECT_NE(backend->lastPressTime(), 0u) << "the press's server time is kept";

    // Space alone, and Ctrl+Alt+Space, are other combinations.
    user->tap(user->keycode(space));
    user->down(user->keycode(0xffe3));
    user->tapWithAlt(user->keycode(space));
    user->up(user->keycode(0xffe3));
    settle();
    EXPECT_EQ(presses, expected);
}

TEST_F(X11HotKeyFixture, AHeldKeyFiresOnceUntilItIsReleased) {
    int presses = 0;
    auto hotKey = center->makeHotKey(altSpace, [&] { ++presses; });
    ASSERT_TRUE(hotKey->registerKey());
    auto alt = user->keycode(altL), key = user->keycode(space);
    user->down(alt);
    for (int i = 0; i < 5; ++i)
        user->down(key); // auto-repeat: presses without releases
    user->up(key);
    user->down(key);
    user->up(key);
    user->up(alt);
    settle();
    EXPECT_EQ(presses, 2);
}

TEST_F(X11HotKeyFixture, AKeyAnotherClientHoldsIsRefusedAndNothingStaysGrabbed) {
    OtherClient other(server->display());
    // The other client holds the combination only with CapsLock on: our first grabs succeed,
    // a later one fails, and those taken must be given back.
    ASSERT_TRUE(other.grabAlt(space, XCB_MOD_MASK_LOCK));
    auto hotKey = center->makeHotKey(altSpace, [] {});
    EXPECT_FALSE(hotKey->registerKey());
    EXPECT_FALSE(hotKey->isRegistered());
    EXPECT_TRUE(other.grabAlt(space, 0));
    EXPECT_TRUE(other.grabAlt(space, XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK));

    auto free = center->makeHotKey(KeyCombo{40, KeyCombo::option}, [] {});
    EXPECT_TRUE(free->registerKey()) << "a refusal does not spoil the connection";
}

TEST_F(X11HotKeyFixture, UnregisterFreesTheKeyForAnotherClient) {
    auto hotKey = center->makeHotKey(altSpace, [] {});
    ASSERT_TRUE(hotKey->registerKey());
    OtherClient other(server->display());
    EXPECT_FALSE(other.grabAlt(space, 0));
    hotKey->unregisterKey();
    for (std::uint16_t locks : {0, 2, 16, 18}) // CapsLock, NumLock (Mod2), both
        EXPECT_TRUE(other.grabAlt(space, locks)) << locks;
}

TEST_F(X11HotKeyFixture, KeysWithoutAKeysymOrAKeycodeAreRefused) {
    EXPECT_FALSE(center->makeHotKey(KeyCombo{10, KeyCombo::option}, [] {})->registerKey())
        << "no entry in the table";
    // Latin letters are on the keyboard; Insert (the Mac Help place) is too.
    EXPECT_TRUE(center->makeHotKey(KeyCombo{114, KeyCombo::control}, [] {})->registerKey());
}

TEST_F(X11HotKeyFixture, ALayoutSwitchKeepsALetterKeyWorking) {
    int presses = 0;
    auto hotKey = center->makeHotKey(altA, [&] { ++presses; });
    ASSERT_TRUE(hotKey->registerKey());
    settle(); // the marker is grabbed before the switch, so it is carried over too
    auto usA = user->keycode(letterA);
    user->tapWithAlt(usA);
    ASSERT_TRUE(serveUntil([&] { return presses == 1; }));

    ASSERT_EQ(server->run({"setxkbmap", "fr"}), 0);
    user->reloadKeymap();
    auto frA = user->keycode(letterA);
    ASSERT_NE(frA, usA) << "on AZERTY, A is where Q was";
    // Until the backend has seen the new mapping, the key goes to nobody: press again.
    EXPECT_TRUE(serveUntil(
        [&] {
            if (presses == 1) user->tapWithAlt(frA);
            serveUntil([&] { return presses > 1; }, 200ms);
            return presses > 1;
        },
        10s));
    EXPECT_EQ(presses, 2);
    user->tapWithAlt(usA); // now Q
    settle();
    EXPECT_EQ(presses, 2);
}

TEST_F(X11HotKeyFixture, ALostConnectionRefusesWithoutACrash) {
    auto hotKey = center->makeHotKey(altSpace, [] {});
    ASSERT_TRUE(hotKey->registerKey());
    user.reset();
    server->killServer();
    // Before anything has read the hang-up: the requests go to a closed socket.
    EXPECT_FALSE(center->makeHotKey(altA, [] {})->registerKey());
    hotKey->unregisterKey();
    EXPECT_TRUE(serveUntil([&] { return !backend->isConnected(); }));
    EXPECT_FALSE(backend->processEvents());
    EXPECT_EQ(backend->fileDescriptor(), -1);
    EXPECT_FALSE(center->makeHotKey(marker, [] {})->registerKey());
}

TEST(X11HotKeyBackend, WithoutADisplayEveryGrabIsRefused) {
    ManualMainQueue mainQueue;
    test::ScopedEnv noDisplay("DISPLAY", "");
    for (const char* display : {":65000", "", static_cast<const char*>(nullptr)}) {
        X11HotKeyBackend backend(mainQueue, display);
        EXPECT_FALSE(backend.isConnected()) << (display ? display : "$DISPLAY");
        EXPECT_EQ(backend.fileDescriptor(), -1);
        EXPECT_FALSE(backend.processEvents());
        EXPECT_FALSE(backend.grab(1, altSpace));
        backend.release(1);
    }
}

TEST(X11HotKeyBackend, UnderWaylandEveryRegistrationIsRefused) {
    PrivateXServer server(testConfig); // XWayland would be there too
    ASSERT_FALSE(server.display().empty()) << server.error();
    test::ScopedEnv display("DISPLAY", server.display());
    test::ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
    ManualMainQueue mainQueue;
    auto backend = X11HotKeyBackend::forSession(mainQueue);
    EXPECT_EQ(std::dynamic_pointer_cast<X11HotKeyBackend>(backend), nullptr);
    auto center = HotKeyCenter::create(backend, mainQueue);
    EXPECT_FALSE(center->globalKeysAvailable());
    EXPECT_FALSE(center->makeHotKey(altSpace, [] {})->registerKey());
    EXPECT_FALSE(center->makeHotKey(altA, [] {})->registerKey());

    test::ScopedEnv noWayland("WAYLAND_DISPLAY", "");
    test::ScopedEnv x11Session("XDG_SESSION_TYPE", "x11");
    auto x11 = std::dynamic_pointer_cast<X11HotKeyBackend>(X11HotKeyBackend::forSession(mainQueue));
    ASSERT_NE(x11, nullptr);
    EXPECT_TRUE(x11->grab(1, altSpace));
}

TEST(QtHotKeyWatcher, PressesReachTheHandlerThroughQtsEventLoop) {
    PrivateXServer server(testConfig);
    ASSERT_FALSE(server.display().empty()) << server.error();
    QtMainQueue mainQueue;
    auto backend = std::make_shared<X11HotKeyBackend>(mainQueue, server.display().c_str());
    QtHotKeyWatcher watcher(backend);
    ASSERT_TRUE(watcher.isWatching());
    auto center = HotKeyCenter::create(backend, mainQueue);
    int presses = 0;
    auto hotKey = center->makeHotKey(altSpace, [&] { ++presses; });
    ASSERT_TRUE(hotKey->registerKey());

    OtherClient user(server.display());
    user.tapWithAlt(user.keycode(space));
    QDeadlineTimer deadline(5000);
    while (presses == 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(presses, 1);

    server.killServer();
    deadline.setRemainingTime(5000);
    while (watcher.isWatching() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    EXPECT_FALSE(watcher.isWatching()) << "a lost connection is no longer watched";
}

TEST(X11HotKeyStockOpenbox, AltSpaceIsTakenByTheWindowManager) {
    PrivateXServer server(stockConfig);
    ASSERT_FALSE(server.display().empty()) << server.error();
    ManualMainQueue mainQueue;
    auto center = HotKeyCenter::create(
        std::make_shared<X11HotKeyBackend>(mainQueue, server.display().c_str()), mainQueue);
    EXPECT_FALSE(center->makeHotKey(altSpace, [] {})->registerKey());
    EXPECT_TRUE(center->makeHotKey(KeyCombo{40, KeyCombo::command}, [] {})->registerKey())
        << "Super+K is free there";
}

} // namespace
} // namespace ulmaro
