#include "../../Settings/SettingsFixture.h"
#include "UlmaroAppKit/UI/Kit/ElidedLabel.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Settings/SettingsView.h"
#include "UlmaroAppKit/UI/Settings/SettingsWindow.h"
#include "UlmaroAppKit/UI/Settings/ShortcutRow.h"
#include "support/GoldenImage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using ::testing::Contains;
using ::testing::Not;

struct SettingsWindowTest : ::testing::Test, test::SettingsFixture {
    InMemorySettingsStore frames;
    SettingsWindow window{frames, environment(nullptr)};

    void SetUp() override {
        preferences->setHasChosenContentFolders(true); // no default folders
        window.show();
        QApplication::processEvents();
    }

    /// New rows show, and old ones go, in queued events.
    static void settle() {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    /// Every text the form shows: labels, path rows and buttons.
    std::vector<std::string> texts() {
        settle();
        std::vector<std::string> shown;
        for (const QLabel* label : window.view()->findChildren<QLabel*>())
            if (label->isVisibleTo(window.view()) && !label->text().isEmpty())
                shown.push_back(label->text().toStdString());
        for (const ElidedLabel* label : window.view()->findChildren<ElidedLabel*>())
            if (label->isVisibleTo(window.view())) shown.push_back(label->text().toStdString());
        for (const QPushButton* button : window.view()->findChildren<QPushButton*>())
            if (button->isVisibleTo(window.view())) shown.push_back(button->text().toStdString());
        return shown;
    }
};

TEST_F(SettingsWindowTest, ShownTwiceIsOneWindowWithTheTitleAndLimits) {
    QWidget* first = window.window();
    ASSERT_NE(first, nullptr);
    window.show();
    EXPECT_EQ(window.window(), first);
    EXPECT_EQ(first->windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(first->minimumSize(), QSize(480, 400));
    EXPECT_FALSE(first->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
}

TEST_F(SettingsWindowTest, TextsPerState) {
    const auto empty = texts();
    EXPECT_THAT(empty, Contains("Nothing excluded — the whole computer is searchable."));
    EXPECT_THAT(empty, Contains("Contents are not read anywhere. Ulmaro searches names only."));
    EXPECT_THAT(empty, Contains("Folders to skip"));
    EXPECT_THAT(empty, Contains("Search inside documents"));
    EXPECT_THAT(empty, Contains("One modifier plus one key — like Alt+Space or Alt+S."));
    EXPECT_THAT(empty, Contains("Alt+Space"));

    // A change made elsewhere (onboarding) shows in the open window; paths show as typed.
    preferences->addExclusion("/srv/<b>x</b>");
    preferences->addContentFolder("/home/ada/Notes");
    cloud = {{"Dropbox", "/home/ada/Dropbox"}, {"Notes", "/home/ada/Notes"}};
    preferences->changed.emit();
    const auto listed = texts();
    EXPECT_THAT(listed, Contains("/srv/<b>x</b>"));
    EXPECT_THAT(listed, Contains("/home/ada/Notes"));
    EXPECT_THAT(listed, Contains("Dropbox"));
    EXPECT_THAT(listed, Not(Contains("Notes"))) << "a listed cloud folder is not offered";
    EXPECT_THAT(listed, Not(Contains("Nothing excluded — the whole computer is searchable.")));
    for (const ElidedLabel* label : window.view()->findChildren<ElidedLabel*>()) {
        if (label->text() == QStringLiteral("/srv/<b>x</b>")) {
            EXPECT_EQ(label->toolTip(), PlainText::toolTip(label->text()));
        }
    }

    // Removing through the row's button calls back once.
    for (QToolButton* button : window.view()->findChildren<QToolButton*>())
        if (button->toolTip().contains(QStringLiteral("Stop skipping"))) button->click();
    EXPECT_THAT(calls, ::testing::ElementsAre("exclusions"));
    EXPECT_TRUE(preferences->userExclusions().empty());
    EXPECT_THAT(texts(), Contains("Nothing excluded — the whole computer is searchable."));
}

TEST_F(SettingsWindowTest, ControlsWriteAtOnce) {
    SettingsView& view = *window.view();
    view.searchThisComputer().click();
    EXPECT_FALSE(preferences->searchThisMac());
    EXPECT_THAT(calls, ::testing::ElementsAre("searchThisMac:off"));
    view.showPaths().click();
    EXPECT_FALSE(preferences->showPaths());
    view.resultLimit().activated(3);
    EXPECT_EQ(preferences->resultLimit(), 1000);
    store->setInt("app.ulmaro.resultLimit", 100);
    preferences->changed.emit();
    EXPECT_EQ(view.resultLimit().currentIndex(), -1) << "100 is none of the choices";
}

TEST_F(SettingsWindowTest, Golden) {
    QWidget& shown = *window.window();
    shown.resize(520, 720);
    settle();
    EXPECT_TRUE(test::matchesGolden(test::grabForGolden(shown), QStringLiteral("settings-empty")));

    preferences->setUserExclusions({"/home/ada/.cache", "/srv/archive/very/long/path/that/is/"
                                                        "cut/in/the/middle/of/the/row"});
    preferences->setContentIndexFolders({"/home/ada/Documents"});
    cloud = {{"Dropbox", "/home/ada/Dropbox"}, {"Google Drive (Work)", "/home/ada/gd"}};
    preferences->changed.emit();
    window.view()->form().shortcut().handleCapture({49, 0});
    settle();
    EXPECT_TRUE(test::matchesGolden(test::grabForGolden(shown), QStringLiteral("settings-lists")));
}

} // namespace
} // namespace ulmaro
