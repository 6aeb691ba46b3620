#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualKeyPressSource.h"
#include "UlmaroAppKit/Settings/ShortcutRecorder.h"
#include "UlmaroAppKit/Settings/ShortcutRowModel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using Press = RecordedKeyPress;
using ::testing::ElementsAre;

Press key(std::uint32_t code, unsigned flags) {
    return {Press::Kind::key, code, flags};
}
Press ofKind(Press::Kind kind, unsigned flags = 0) {
    return {kind, 0, flags};
}

TEST(ShortcutRecorder, CarbonModifiers) {
    const struct {
        unsigned flags;
        std::uint32_t mask;
    } cases[] = {
        {0, 0},
        {Press::control, 0x1000},
        {Press::alt, 0x800},
        {Press::shift, 0x200},
        {Press::super, 0x100},
        {Press::control | Press::alt | Press::shift | Press::super, 0x1b00},
        {Press::alt | Press::capsLock | Press::numLock, 0x800},
        {Press::capsLock | Press::numLock | Press::keypad | Press::other, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShortcutRecorder::carbonModifiers(c.flags), c.mask) << c.flags;
}

TEST(ShortcutRecorder, TakesTheFirstNamedKeyOnceThroughOneMonitor) {
    auto source = std::make_shared<ManualKeyPressSource>();
    ShortcutRecorder recorder(source);
    std::vector<std::string> events;
    const auto activate = [&] {
        recorder.setActive(
            true, [&] { events.push_back("done"); },
            [&](const KeyCombo& combo) {
                events.push_back("capture " + std::to_string(combo.keyCode) + " " +
                                 std::to_string(combo.modifiers));
            });
    };
    activate();
    activate();
    EXPECT_EQ(source->monitors(), 1u);
    EXPECT_TRUE(recorder.isListening());

    // Modifiers alone and keys without a stored code leave it listening.
    source->press(ofKind(Press::Kind::modifier, Press::alt));
    source->press(ofKind(Press::Kind::unnamed, Press::alt));
    EXPECT_TRUE(events.empty());
    source->press(key(1, Press::alt | Press::capsLock));
    EXPECT_THAT(events, ElementsAre("capture 1 2048", "done"));
    EXPECT_EQ(source->monitors(), 0u);
    EXPECT_FALSE(source->press(key(2, Press::alt))) << "only the first press";

    events.clear();
    activate();
    source->press(ofKind(Press::Kind::escape, Press::alt));
    EXPECT_THAT(events, ElementsAre("done")) << "Escape captures nothing";

    events.clear();
    activate();
    recorder.setActive(false, {}, {});
    EXPECT_EQ(source->monitors(), 0u);
    EXPECT_TRUE(events.empty());
}

/// Remembers the order of writes.
class RecordingStore final : public SettingsStore {
public:
    InMemorySettingsStore values;
    std::vector<std::string> writes;

    std::optional<nlohmann::json> value(std::string_view key) const override {
        return values.value(key);
    }
    void setValue(std::string_view key, nlohmann::json value) override {
        writes.emplace_back(key);
        values.setValue(key, std::move(value));
    }
    void remove(std::string_view key) override { values.remove(key); }
};

struct ShortcutRowModelTest : ::testing::Test {
    std::shared_ptr<RecordingStore> store = std::make_shared<RecordingStore>();
    std::shared_ptr<Preferences> preferences = std::make_shared<Preferences>(store);
    std::shared_ptr<ManualKeyPressSource> keys = std::make_shared<ManualKeyPressSource>();
    std::vector<KeyCombo> asked;
    bool shellAnswer = true;
    int notices = 0;
    Subscription noticing = preferences->changed.subscribe([this] { ++notices; });

    std::shared_ptr<Observable<HotKeyStatus>> status = std::make_shared<Observable<HotKeyStatus>>();

    std::unique_ptr<ShortcutRowModel> model() {
        return std::make_unique<ShortcutRowModel>(
            preferences, keys,
            [this](const KeyCombo& combo) {
                asked.push_back(combo);
                return shellAnswer;
            },
            status);
    }
};

TEST_F(ShortcutRowModelTest, CaptureIsCheckedRegisteredThenStored) {
    using State = HotKeyStatus::State;
    preferences->setHotKey({40, KeyCombo::control}); // Ctrl+K in force
    store->writes.clear();
    notices = 0;
    const KeyCombo previous = preferences->hotKey();
    const std::string useOneModifier = "Use one modifier (Alt, Ctrl or Super) plus one key.";
    const struct {
        const char* what;
        KeyCombo combo;
        bool shellAnswer;
        State afterwards; // what the shell says once it has answered
        bool asksShell, stored;
        std::optional<std::string> error;
    } cases[] = {
        {"Space alone", {49, 0}, true, State::registered, false, false, useOneModifier},
        {"Alt+Shift+K",
         {40, KeyCombo::option | KeyCombo::shift},
         true,
         State::registered,
         false,
         false,
         useOneModifier},
        // Keys every application needs are refused before the shell is asked.
        {"Shift+S",
         {1, KeyCombo::shift},
         true,
         State::registered,
         false,
         false,
         "Shift+S can\u2019t be the shortcut: with Shift alone it is a key you type. Use Alt, "
         "Ctrl or Super."},
        {"Shift+Tab",
         {48, KeyCombo::shift},
         true,
         State::registered,
         false,
         false,
         "Shift+Tab can\u2019t be the shortcut: with Shift alone it is a key you type. Use Alt, "
         "Ctrl or Super."},
        {"Ctrl+A",
         {0, KeyCombo::control},
         true,
         State::registered,
         false,
         false,
         "Ctrl+A can\u2019t be the shortcut: every app needs it. Choose another."},
        {"Alt+F4",
         {118, KeyCombo::option},
         true,
         State::registered,
         false,
         false,
         "Alt+F4 can\u2019t be the shortcut: every app needs it. Choose another."},
        {"taken, the previous key back",
         {1, KeyCombo::option},
         false,
         State::registered,
         true,
         false,
         "Alt+S is taken by another app. The previous shortcut still works."},
        {"taken, and the previous key could not be had back",
         {1, KeyCombo::option},
         false,
         State::taken,
         true,
         false,
         "Alt+S is taken by another app."},
        {"refused under Wayland",
         {1, KeyCombo::option},
         false,
         State::noGlobalKeys,
         true,
         false,
         "Global shortcuts need an X11 session. Running ulmaro again summons the panel: bind it "
         "to a key in your desktop\u2019s keyboard settings."},
        {"accepted", {49, KeyCombo::control}, true, State::registered, true, true, std::nullopt},
    };
    for (const auto& c : cases) {
        asked.clear();
        shellAnswer = c.shellAnswer;
        status->set({c.afterwards, previous});
        auto row = model();
        row->handleCapture(c.combo);
        EXPECT_EQ(row->hotKeyError(), c.error) << c.what;
        EXPECT_EQ(row->message(), c.error) << c.what;
        EXPECT_EQ(asked, c.asksShell ? std::vector{c.combo} : std::vector<KeyCombo>{}) << c.what;
        if (!c.stored) {
            EXPECT_TRUE(store->writes.empty()) << c.what;
            EXPECT_EQ(preferences->hotKey(), previous) << c.what;
            EXPECT_EQ(notices, 0) << c.what;
        }
    }
    EXPECT_THAT(store->writes, ElementsAre("app.ulmaro.hotKeyCode", "app.ulmaro.hotKeyModifiers"));
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(preferences->hotKey(), (KeyCombo{49, KeyCombo::control}));
}

TEST_F(ShortcutRowModelTest, TheRowTellsWhatTheShellSaysOfTheShortcut) {
    using State = HotKeyStatus::State;
    auto row = model();
    int changes = 0;
    Subscription counting = row->changed.subscribe([&] { ++changes; });
    EXPECT_EQ(row->message(), std::nullopt);

    status->set({State::taken});
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(row->message(), "Alt+Space is taken by another app. Choose another shortcut.");
    EXPECT_TRUE(row->canRecord());

    // Recording under way when the session turns out to have no global keys ends.
    row->startRecording();
    status->set({State::noGlobalKeys});
    EXPECT_FALSE(row->recording());
    EXPECT_EQ(keys->monitors(), 0u);
    EXPECT_FALSE(row->canRecord());
    EXPECT_TRUE(row->message()->starts_with("Global shortcuts need an X11 session."));
    row->startRecording();
    EXPECT_FALSE(row->recording()) << "nothing to record where no key can be had";
    EXPECT_EQ(keys->monitors(), 0u);

    status->set({State::registered});
    EXPECT_EQ(row->message(), std::nullopt);
}

TEST_F(ShortcutRowModelTest, RecordingStateTitleAndMessage) {
    auto row = model();
    int changes = 0;
    Subscription counting = row->changed.subscribe([&] { ++changes; });
    EXPECT_EQ(row->buttonTitle(), "Alt+Space");

    row->startRecording();
    EXPECT_TRUE(row->recording());
    EXPECT_EQ(row->buttonTitle(), "Press keys…");
    keys->press(key(36, 0)); // Return alone
    EXPECT_FALSE(row->recording());
    EXPECT_EQ(row->hotKeyError(), "Use one modifier (Alt, Ctrl or Super) plus one key.");
    EXPECT_TRUE(asked.empty());

    // Pressing the button again clears the message; pressing it while listening keeps one
    // monitor.
    row->startRecording();
    row->startRecording();
    EXPECT_EQ(keys->monitors(), 1u);
    EXPECT_EQ(row->hotKeyError(), std::nullopt);
    keys->press(key(1, Press::alt | Press::capsLock));
    EXPECT_EQ(asked, (std::vector<KeyCombo>{{1, KeyCombo::option}}));
    EXPECT_EQ(row->buttonTitle(), "Alt+S");
    EXPECT_GT(changes, 0);

    // Escape: nothing stored, no message.
    row->startRecording();
    keys->press(ofKind(Press::Kind::escape));
    EXPECT_FALSE(row->recording());
    EXPECT_EQ(row->hotKeyError(), std::nullopt);
    EXPECT_EQ(row->buttonTitle(), "Alt+S");

    // Recording that ends otherwise (the window went away) stops listening.
    row->startRecording();
    row->stopRecording();
    EXPECT_EQ(keys->monitors(), 0u);
    EXPECT_FALSE(row->recording());
}

} // namespace
} // namespace ulmaro
