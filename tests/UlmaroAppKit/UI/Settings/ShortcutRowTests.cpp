#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/UI/Qt/QtKeyPressSource.h"
#include "UlmaroAppKit/UI/Settings/ShortcutRow.h"
#include "support/GoldenImage.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using Press = RecordedKeyPress;

TEST(QtKeyPressSource, NamesKeysByTheirUnshiftedKeysym) {
    const struct {
        int key;
        Qt::KeyboardModifiers mods;
        std::optional<std::uint32_t> xcbKeysym;
        Press::Kind kind;
        std::uint32_t code;
        unsigned flags;
    } cases[] = {
        {Qt::Key_S, Qt::AltModifier, {}, Press::Kind::key, 1, Press::alt},
        {Qt::Key_Space, Qt::ControlModifier, {}, Press::Kind::key, 49, Press::control},
        {Qt::Key_Return, Qt::MetaModifier, {}, Press::Kind::key, 36, Press::super},
        {Qt::Key_F5, Qt::ShiftModifier, {}, Press::Kind::key, 96, Press::shift},
        {Qt::Key_Comma, Qt::AltModifier, {}, Press::Kind::key, 43, Press::alt},
        // On xcb the key's first keysym names it: Shift+1 types "!" but is the 1 key, and
        // the key that types "z" on a German layout is Z whatever Qt calls it.
        {Qt::Key_Exclam, Qt::AltModifier | Qt::ShiftModifier, '1', Press::Kind::key, 18,
         Press::alt | Press::shift},
        {Qt::Key_Y, Qt::AltModifier, 'z', Press::Kind::key, 6, Press::alt},
        {Qt::Key_5,
         Qt::AltModifier | Qt::KeypadModifier,
         {},
         Press::Kind::key,
         23,
         Press::alt | Press::keypad},
        {Qt::Key_Escape, Qt::AltModifier, {}, Press::Kind::escape, 0, Press::alt},
        {Qt::Key_Alt, Qt::AltModifier, {}, Press::Kind::modifier, 0, 0},
        {Qt::Key_CapsLock, Qt::NoModifier, {}, Press::Kind::modifier, 0, 0},
        {Qt::Key_VolumeUp, Qt::AltModifier, {}, Press::Kind::unnamed, 0, Press::alt},
        {Qt::Key_F20, Qt::AltModifier, {}, Press::Kind::unnamed, 0, Press::alt},
    };
    for (const auto& c : cases) {
        const QKeyEvent event(QEvent::KeyPress, c.key, c.mods);
        const Press press = QtKeyPressSource::recordedKeyPress(event, c.xcbKeysym);
        EXPECT_EQ(press.kind, c.kind) << c.key;
        EXPECT_EQ(press.keyCode, c.code) << c.key;
        EXPECT_EQ(press.flags, c.flags) << c.key;
    }
}

struct ShortcutRowTest : ::testing::Test {
    std::shared_ptr<InMemorySettingsStore> store = std::make_shared<InMemorySettingsStore>();
    std::shared_ptr<Preferences> preferences = std::make_shared<Preferences>(store);
    std::vector<KeyCombo> asked;
    bool shellAnswer = true;
    std::shared_ptr<ShortcutRowModel> model = std::make_shared<ShortcutRowModel>(
        preferences, std::make_shared<QtKeyPressSource>([this] { return &window; }),
        [this](const KeyCombo& combo) {
            asked.push_back(combo);
            return shellAnswer;
        });
    QWidget window;
    QLineEdit* field = new QLineEdit(&window);
    ShortcutRow* row = new ShortcutRow(model, preferences, &window);
    int quitRuns = 0;

    void SetUp() override {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(field);
        layout->addWidget(row);
        auto* quit = new QAction(&window);
        quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
        QObject::connect(quit, &QAction::triggered, [this] { ++quitRuns; });
        window.addAction(quit);
        window.resize(360, 90);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 5000));
        field->setFocus();
    }

    /// Presses the button, then the keys, into the focused field.
    void record(Qt::Key key, Qt::KeyboardModifiers mods) {
        row->button().click();
        QTest::keyClick(field, key, mods);
    }
};

TEST_F(ShortcutRowTest, EdgeCasesWithSyntheticKeys) {
    // Ctrl+Q outside recording quits; while recording it is the key recorded.
    QTest::keyClick(field, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quitRuns, 1);
    record(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quitRuns, 1);
    EXPECT_EQ(asked, (std::vector<KeyCombo>{{12, KeyCombo::control}}));
    EXPECT_EQ(preferences->hotKey(), (KeyCombo{12, KeyCombo::control}));
    EXPECT_EQ(row->button().text(), QStringLiteral("Ctrl+Q"));

    // Escape is consumed: it reaches no widget and stores nothing.
    asked.clear();
    field->setText(QStringLiteral("kept"));
    row->button().click();
    EXPECT_EQ(row->button().text(), QStringLiteral("Press keys…"));
    QTest::keyClick(field, Qt::Key_A);
    QTest::keyClick(field, Qt::Key_Escape);
    QTest::keyClick(field, Qt::Key_B);
    EXPECT_EQ(field->text(), QStringLiteral("keptb")) << "A recorded (invalid), Escape unseen";
    EXPECT_TRUE(asked.empty());

    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        bool valid;
    } invalid[] = {{Qt::Key_Space, Qt::NoModifier, false},
                   {Qt::Key_Return, Qt::NoModifier, false},
                   {Qt::Key_K, Qt::AltModifier | Qt::ShiftModifier, false}};
    for (const auto& c : invalid) {
        record(c.key, c.mods);
        EXPECT_EQ(row->message().text(),
                  QStringLiteral("Use one modifier (Alt, Ctrl or Super) plus one key."))
            << c.key;
        EXPECT_FALSE(row->message().isHidden());
    }
    EXPECT_TRUE(asked.empty());

    // Alt pressed alone keeps listening; the button again clears the message, one filter.
    row->button().click();
    EXPECT_TRUE(row->message().isHidden());
    QTest::sendKeyEvent(QTest::Press, field, Qt::Key_Alt, QString(), Qt::AltModifier);
    QTest::sendKeyEvent(QTest::Release, field, Qt::Key_Alt, QString(), Qt::NoModifier);
    EXPECT_TRUE(model->recording());
    row->button().click();
    shellAnswer = false;
    QTest::keyClick(field, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(asked, (std::vector<KeyCombo>{{1, KeyCombo::option}})) << "asked once";
    EXPECT_EQ(row->message().text(),
              QStringLiteral("Alt+S is taken by another app. The previous shortcut still works."));
    EXPECT_EQ(preferences->hotKey(), (KeyCombo{12, KeyCombo::control})) << "the old pair stays";

    shellAnswer = true;
    record(Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(store->intValue("app.ulmaro.hotKeyCode"), 49);
    EXPECT_EQ(store->intValue("app.ulmaro.hotKeyModifiers"), 0x1000);
    EXPECT_TRUE(row->message().isHidden());
    QApplication::processEvents(); // the spent filters go
}

TEST_F(ShortcutRowTest, OnlyThisWindowsKeysAreTakenAndLeavingItEndsRecording) {
    QWidget other;
    auto* otherField = new QLineEdit(&other);
    other.resize(200, 40);
    other.show();

    // A key typed into another window is that window's.
    row->button().click();
    QTest::keyClick(otherField, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(otherField, Qt::Key_X);
    EXPECT_EQ(otherField->text(), QStringLiteral("x"));
    EXPECT_TRUE(model->recording());
    EXPECT_TRUE(asked.empty());

    // The window losing the keyboard ends recording, capturing nothing.
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other, 5000));
    EXPECT_FALSE(model->recording());
    EXPECT_EQ(row->button().text(), QStringLiteral("Alt+Space"));
    QTest::keyClick(otherField, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(asked.empty());

    // So does hiding it (closing Settings), and a key typed afterwards is never recorded.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 5000));
    row->button().click();
    ASSERT_TRUE(model->recording());
    window.hide();
    EXPECT_FALSE(model->recording());
    window.show();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(preferences->hotKey(), KeyCombo::optionSpace);
    QApplication::processEvents(); // the spent filters go
}

TEST_F(ShortcutRowTest, WithoutGlobalKeysTheButtonRecordsNothingAndTheRowSaysWhy) {
    auto status = std::make_shared<Observable<HotKeyStatus>>();
    auto wayland = std::make_shared<ShortcutRowModel>(
        preferences, std::make_shared<QtKeyPressSource>([this] { return &window; }),
        [](const KeyCombo&) { return false; }, status);
    auto* waylandRow = new ShortcutRow(wayland, preferences, &window);
    window.layout()->addWidget(waylandRow);
    EXPECT_TRUE(waylandRow->button().isEnabled());
    EXPECT_TRUE(waylandRow->message().isHidden());
    status->set({HotKeyStatus::State::noGlobalKeys});
    EXPECT_FALSE(waylandRow->button().isEnabled());
    EXPECT_FALSE(waylandRow->message().isHidden());
    EXPECT_TRUE(waylandRow->message().text().startsWith("Global shortcuts need an X11 session."));
    status->set({HotKeyStatus::State::taken});
    EXPECT_TRUE(waylandRow->button().isEnabled());
    EXPECT_EQ(waylandRow->message().text(),
              QStringLiteral("Alt+Space is taken by another app. Choose another shortcut."));
}

TEST_F(ShortcutRowTest, ChangeMadeElsewhereShows) {
    preferences->setHotKey({1, KeyCombo::command});
    EXPECT_EQ(row->button().text(), QStringLiteral("Super+S"));
}

TEST_F(ShortcutRowTest, Golden) {
    window.resize(420, 70);
    row->button().click();
    EXPECT_TRUE(
        test::matchesGolden(test::grabForGolden(*row), QStringLiteral("shortcut-row-recording")));
    shellAnswer = false;
    QTest::keyClick(field, Qt::Key_S, Qt::AltModifier);
    window.resize(420, window.sizeHint().height());
    EXPECT_TRUE(
        test::matchesGolden(test::grabForGolden(*row), QStringLiteral("shortcut-row-message")));
}

} // namespace
} // namespace ulmaro
