#include "SettingsFixture.h"
#include "UlmaroAppKit/Fakes/ManualKeyPressSource.h"
#include "UlmaroAppKit/Settings/SettingsForm.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using ::testing::ElementsAre;
using Paths = std::vector<std::string>;

struct SettingsFormTest : ::testing::Test, test::SettingsFixture {
    std::unique_ptr<SettingsForm> form =
        std::make_unique<SettingsForm>(environment(std::make_shared<ManualKeyPressSource>()));
};

TEST_F(SettingsFormTest, SkippedFolders) {
    EXPECT_TRUE(form->exclusions().empty());

    chooser->folderAnswers = {Paths{"/srv/b/", "/srv/a", "/srv/c"}, Paths{"/srv/a"}, Paths{},
                              std::nullopt};
    form->addExclusions();
    EXPECT_THAT(form->exclusions(), ElementsAre("/srv/a", "/srv/b", "/srv/c"));
    EXPECT_THAT(calls, ElementsAre("exclusions")) << "three folders, one callback";
    EXPECT_EQ(chooser->folderRequests[0],
              (ScriptedFileChooser::FolderRequest{"Skip This Folder", true}));

    form->addExclusions(); // already skipped
    form->addExclusions(); // OK with nothing chosen
    EXPECT_THAT(preferences->userExclusions(), ElementsAre("/srv/a", "/srv/b", "/srv/c"));
    EXPECT_EQ(calls.size(), 3u);

    const std::size_t writes = store->size();
    form->addExclusions(); // cancelled
    EXPECT_EQ(calls.size(), 3u);
    EXPECT_EQ(store->size(), writes);

    calls.clear();
    form->removeExclusion("/srv/b");
    EXPECT_THAT(form->exclusions(), ElementsAre("/srv/a", "/srv/c"));
    EXPECT_THAT(calls, ElementsAre("exclusions"));
}

TEST_F(SettingsFormTest, ContentFoldersAndCloudSuggestionsNeverCallBack) {
    const Paths defaults = Preferences::defaultContentFolders();
    ASSERT_EQ(defaults.size(), 3u);
    EXPECT_EQ(form->contentFolders(), defaults) << "never chosen: the default folders";
    form->removeContentFolder(defaults[1]);
    EXPECT_EQ(preferences->contentIndexFolders(), (Paths{defaults[0], defaults[2]}));
    EXPECT_EQ(form->contentFolders(), preferences->contentIndexFolders());

    cloud = {{"Dropbox", "/home/ada/Dropbox"}, {"Desktop", defaults[0]}};
    EXPECT_THAT(form->cloudSuggestions(), ElementsAre(cloud[0])) << "a listed path is not offered";
    form->addCloudFolder(cloud[0]);
    EXPECT_TRUE(form->cloudSuggestions().empty());
    EXPECT_NE(std::find(form->contentFolders().begin(), form->contentFolders().end(),
                        "/home/ada/Dropbox"),
              form->contentFolders().end());

    chooser->folderAnswers = {Paths{"/srv/docs"}, std::nullopt};
    form->addContentFolders();
    form->addContentFolders();
    EXPECT_EQ(chooser->folderRequests.back(),
              (ScriptedFileChooser::FolderRequest{"Read Contents Here", true}));
    EXPECT_EQ(form->contentFolders().back(), "/srv/docs");
    EXPECT_TRUE(calls.empty());
}

TEST_F(SettingsFormTest, FoldersWhoseNamesAreNotUtf8AreRefusedWithAMessage) {
    preferences->setHasChosenContentFolders(true);
    const std::string latin1 = "/srv/caf\xE9";
    const std::string message = "\u201C/srv/caf\uFFFD\u201D can\u2019t be added: its name is not "
                                "valid UTF-8, which the settings can\u2019t hold. Rename it to "
                                "add it.";
    int announced = 0;
    Subscription counting = form->listsChanged.subscribe([&] { ++announced; });

    chooser->folderAnswers = {Paths{latin1, "/srv/ok"}};
    form->addExclusions();
    EXPECT_THAT(form->exclusions(), ElementsAre("/srv/ok"));
    EXPECT_EQ(form->exclusionsMessage(), message);
    EXPECT_EQ(form->contentMessage(), std::nullopt);
    EXPECT_GT(announced, 0);
    form->removeExclusion("/srv/ok");
    EXPECT_EQ(form->exclusionsMessage(), std::nullopt) << "the section's next change clears it";

    chooser->folderAnswers = {Paths{latin1}, Paths{"/srv/docs"}};
    form->addContentFolders();
    EXPECT_TRUE(form->contentFolders().empty());
    EXPECT_EQ(form->contentMessage(), message);
    form->addContentFolders();
    EXPECT_EQ(form->contentMessage(), std::nullopt);
    EXPECT_THAT(form->contentFolders(), ElementsAre("/srv/docs"));

    form->addCloudFolder({"Sync", latin1});
    EXPECT_EQ(form->contentMessage(), message);
    EXPECT_THAT(form->contentFolders(), ElementsAre("/srv/docs"));
}

TEST_F(SettingsFormTest, SearchThisComputerIsStoredBeforeItsOneCallback) {
    EXPECT_TRUE(form->searchThisMac());
    form->setSearchThisMac(false);
    EXPECT_THAT(calls, ElementsAre("searchThisMac:off"));
    EXPECT_EQ(store->boolValue("app.ulmaro.searchThisMac"), false);
}

TEST_F(SettingsFormTest, ResultLimitAndShowPaths) {
    const struct {
        std::int64_t stored;
        std::optional<std::size_t> selected;
        std::int64_t reads;
    } cases[] = {{0, 1, 200},
                 {-5, 1, 200},
                 {5, std::nullopt, 10},
                 {5000, 3, 1000},
                 {100, std::nullopt, 100},
                 {500, 2, 500}};
    for (const auto& c : cases) {
        store->setInt("app.ulmaro.resultLimit", c.stored);
        EXPECT_EQ(form->selectedResultLimit(), c.selected) << c.stored;
        EXPECT_EQ(preferences->resultLimit(), c.reads) << c.stored;
    }
    EXPECT_TRUE(calls.empty()) << "values stored elsewhere are read, not announced";
    form->chooseResultLimit(5000);
    EXPECT_EQ(store->intValue("app.ulmaro.resultLimit"), 1000);
    form->chooseResultLimit(1000);
    form->chooseResultLimit(50);
    EXPECT_EQ(form->selectedResultLimit(), 0u);
    EXPECT_THAT(calls, ElementsAre("resultLimit:1000", "resultLimit:50"))
        << "each change once, none for the same limit again";
    calls.clear();

    EXPECT_TRUE(form->showPaths());
    form->setShowPaths(false);
    EXPECT_EQ(store->boolValue("app.ulmaro.showPaths"), false);
    EXPECT_TRUE(calls.empty());
}

TEST_F(SettingsFormTest, TheShortcutGoesThroughTheControllersForwarder) {
    auto forward = controller->hotKeyForwarder();
    EXPECT_FALSE(forward(KeyCombo{1, KeyCombo::option})) << "nothing installed";
    std::vector<KeyCombo> asked;
    controller->onHotKeyChange = [&](const KeyCombo& combo) {
        asked.push_back(combo);
        return true;
    };
    form->shortcut().handleCapture({1, KeyCombo::option});
    EXPECT_EQ(asked, (std::vector<KeyCombo>{{1, KeyCombo::option}}));
    EXPECT_EQ(preferences->hotKey(), (KeyCombo{1, KeyCombo::option}));

    form.reset();
    controller.reset();
    EXPECT_FALSE(forward(KeyCombo{2, KeyCombo::option})) << "the controller is gone";
    EXPECT_EQ(asked.size(), 1u);
}

} // namespace
} // namespace ulmaro
