// The shortcut recorder against the real X11 hot key: keys typed with xdotool into a window
// of the private Xvfb with openbox, then pressed again as global keys.
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Shell/HotKeyCenter.h"
#include "UlmaroAppKit/UI/Qt/QtHotKeyWatcher.h"
#include "UlmaroAppKit/UI/Qt/QtKeyPressSource.h"
#include "UlmaroAppKit/UI/Qt/QtMainQueue.h"
#include "UlmaroAppKit/UI/Settings/ShortcutRow.h"
#include "UlmaroAppKit/UI/X11/WindowManagerFixture.h"
#include "UlmaroAppKit/UI/X11/X11HotKeyBackend.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <cstdlib>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace ulmaro {
namespace {

using test::waitLimitMs;

bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(waitLimitMs)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool xdotoolKey(const QString& keys) {
    return run(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
}

/// What `AppCoordinator::registerHotKey` does with the hot key, without the rest of the
/// application: it drops the held key, registers the new one with the summon action, and on
/// failure puts the stored shortcut back when a key was held.
struct ShellStandIn {
    std::shared_ptr<HotKeyCenter> center;
    std::shared_ptr<Preferences> preferences;
    std::shared_ptr<HotKey> held;
    std::vector<KeyCombo> asked;
    int summons = 0;

    bool registerHotKey(const KeyCombo& combo) {
        asked.push_back(combo);
        const bool hadKey = held != nullptr;
        if (held) held->unregisterKey();
        held.reset();
        if (auto key = center->makeHotKey(combo, [this] { ++summons; }); key->registerKey()) {
            held = key;
            return true;
        }
        if (hadKey)
            if (auto old = center->makeHotKey(preferences->hotKey(), [this] { ++summons; });
                old->registerKey())
                held = old;
        return false;
    }
};

/// Another X client that holds `keysym` with exactly the modifiers `mask`.
class OtherGrab {
public:
    OtherGrab(xcb_keysym_t keysym, std::uint16_t mask) : c_(xcb_connect(nullptr, nullptr)) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c_);
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
        code_ = codes ? codes[0] : 0;
        std::free(codes);
        xcb_key_symbols_free(symbols);
        auto* error =
            xcb_request_check(c_, xcb_grab_key_checked(c_, 1, root_, mask, code_,
                                                       XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        held_ = error == nullptr;
        std::free(error);
    }
    ~OtherGrab() { xcb_disconnect(c_); }
    bool held() const { return held_; }

private:
    xcb_connection_t* c_;
    xcb_window_t root_ = 0;
    xcb_keycode_t code_ = 0;
    bool held_ = false;
};

class ShortcutRecorderUnderX11 : public ::testing::Test {
protected:
    QtMainQueue mainQueue;
    std::shared_ptr<X11HotKeyBackend> backend = std::make_shared<X11HotKeyBackend>(mainQueue);
    QtHotKeyWatcher watcher{backend};
    std::shared_ptr<InMemorySettingsStore> store = std::make_shared<InMemorySettingsStore>();
    std::shared_ptr<Preferences> preferences = std::make_shared<Preferences>(store);
    ShellStandIn shell{HotKeyCenter::create(backend, mainQueue), preferences, nullptr, {}, 0};
    std::shared_ptr<ShortcutRowModel> model = std::make_shared<ShortcutRowModel>(
        preferences, std::make_shared<QtKeyPressSource>([this] { return &window; }),
        [this](const KeyCombo& combo) { return shell.registerHotKey(combo); });
    QWidget window;
    QLineEdit* field = new QLineEdit(&window);
    ShortcutRow* row = new ShortcutRow(model, preferences, &window);

    void SetUp() override {
        ASSERT_TRUE(backend->isConnected());
        ASSERT_TRUE(shell.registerHotKey(preferences->hotKey()));
        shell.asked.clear();
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(field);
        layout->addWidget(row);
        window.setWindowTitle(QStringLiteral("Settings"));
        window.resize(420, 120);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window, waitLimitMs));
        field->setFocus();
    }
    void TearDown() override {
        if (shell.held) shell.held->unregisterKey();
        run(QStringLiteral("setxkbmap"), {QStringLiteral("us")});
    }

    /// Presses the button, types `keys` with xdotool and waits for the recording to end.
    ::testing::AssertionResult record(const QString& keys) {
        row->button().click();
        field->setFocus();
        if (!xdotoolKey(keys))
            return ::testing::AssertionFailure() << "xdotool " << keys.toStdString();
        if (!QTest::qWaitFor([&] { return !model->recording(); }, waitLimitMs))
            return ::testing::AssertionFailure() << "still recording after " << keys.toStdString();
        return ::testing::AssertionSuccess();
    }
    ::testing::AssertionResult summonedBy(const QString& keys) {
        const int before = shell.summons;
        if (!xdotoolKey(keys))
            return ::testing::AssertionFailure() << "xdotool " << keys.toStdString();
        if (!QTest::qWaitFor([&] { return shell.summons == before + 1; }, waitLimitMs))
            return ::testing::AssertionFailure() << keys.toStdString() << " did not summon";
        return ::testing::AssertionSuccess();
    }
};

TEST_F(ShortcutRecorderUnderX11, RecordsRegistersAndKeepsTheOldKeyWhenTaken) {
    {
        // Held with NumLock on only, so the press without it still reaches the window, and
        // the grab of every lock state is refused.
        OtherGrab other('s', XCB_MOD_MASK_1 | XCB_MOD_MASK_2);
        ASSERT_TRUE(other.held());
        ASSERT_TRUE(record(QStringLiteral("alt+s")));
        EXPECT_EQ(shell.asked, (std::vector<KeyCombo>{{1, KeyCombo::option}}));
        EXPECT_EQ(
            row->message().text(),
            QStringLiteral("Alt+S is taken by another app. The previous shortcut still works."));
        EXPECT_EQ(preferences->hotKey(), KeyCombo::optionSpace);
        EXPECT_TRUE(summonedBy(QStringLiteral("alt+space"))) << "the previous shortcut still works";
    }

    ASSERT_TRUE(record(QStringLiteral("alt+s")));
    EXPECT_EQ(preferences->hotKey(), (KeyCombo{1, KeyCombo::option}));
    EXPECT_TRUE(row->message().isHidden());
    EXPECT_TRUE(field->text().isEmpty()) << "the recorded press reached no widget";
    EXPECT_TRUE(summonedBy(QStringLiteral("alt+s")));

    // Shift+1 types "!" and is the 1 key; with Shift alone it is refused before the shell
    // is asked.
    shell.asked.clear();
    ASSERT_TRUE(record(QStringLiteral("shift+1")));
    EXPECT_TRUE(shell.asked.empty());
    EXPECT_TRUE(row->message().text().startsWith(QStringLiteral("Shift+1 can\u2019t be")))
        << row->message().text().toStdString();
}

// Recording left armed by a window that was closed or left must never take a key typed
// elsewhere: before, the next Ctrl+A typed in the panel became the desktop-wide shortcut.
TEST_F(ShortcutRecorderUnderX11, LeavingOrClosingTheWindowEndsRecordingAndKeysElsewhereStayThere) {
    QWidget elsewhere;
    auto* typed = new QLineEdit(&elsewhere);
    elsewhere.setWindowTitle(QStringLiteral("Panel"));
    elsewhere.setGeometry(600, 400, 300, 60);
    typed->resize(280, 30);
    elsewhere.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&elsewhere, waitLimitMs));

    const auto activate = [&](QWidget& target) {
        return run(QStringLiteral("xdotool"),
                   {QStringLiteral("windowactivate"), QString::number(target.winId())}) &&
               QTest::qWaitForWindowActive(&target, waitLimitMs);
    };
    for (const bool close : {false, true}) {
        ASSERT_TRUE(activate(window));
        row->button().click();
        ASSERT_TRUE(model->recording());
        if (close) window.close();
        ASSERT_TRUE(activate(elsewhere));
        EXPECT_FALSE(model->recording()) << (close ? "closed" : "left");
        typed->clear();
        typed->setFocus();
        ASSERT_TRUE(xdotoolKey(QStringLiteral("ctrl+a")));
        ASSERT_TRUE(xdotoolKey(QStringLiteral("x")));
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return typed->text() == QStringLiteral("x"); }, waitLimitMs))
            << "typed: " << typed->text().toStdString();
        EXPECT_TRUE(shell.asked.empty()) << "nothing recorded";
        EXPECT_EQ(preferences->hotKey(), KeyCombo::optionSpace);
        window.show();
    }
    EXPECT_TRUE(summonedBy(QStringLiteral("alt+space")));
}

TEST_F(ShortcutRecorderUnderX11, TheKeyThatTypesZOnAGermanLayoutIsZ) {
    ASSERT_TRUE(run(QStringLiteral("setxkbmap"), {QStringLiteral("de")}));
    QTest::qWait(200); // the new keymap reaches Qt's connection
    ASSERT_TRUE(record(QStringLiteral("alt+z")));
    EXPECT_EQ(shell.asked, (std::vector<KeyCombo>{{6, KeyCombo::option}}));
    EXPECT_TRUE(summonedBy(QStringLiteral("alt+z")));
}

} // namespace
} // namespace ulmaro
