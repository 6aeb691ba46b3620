#include "UlmaroAppKit/Catalogs/CatalogItemActions.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspace.h"
#include "support/FakeCatalogBrowser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using EntryKind = CatalogItemActions::MenuEntry::Kind;

struct CatalogItemActionsTest : ::testing::Test {
    test::FakeCatalogBrowser model;
    RecordingWorkspace workspace;
    CatalogItemActions actions{model, workspace};
    std::uint32_t photos = model.add(0, "Photos", true);
    std::uint32_t notes = model.add(0, "notes.txt", false);
    std::uint32_t lost = model.add(0, "lost.bin", false);

    void SetUp() override {
        model.withoutPath.insert(lost);
        model.reload();
    }
    CatalogBrowsing::Item itemOf(std::uint32_t id) { return *actions.item({id}); }
};

TEST_F(CatalogItemActionsTest, TheItemIsTheListedOneWithAnIDOfTheSet) {
    EXPECT_EQ(actions.item({}), std::nullopt);
    EXPECT_EQ(actions.item({notes})->name, "notes.txt");
    EXPECT_EQ(actions.item({999}), std::nullopt) << "no longer listed";
    model.open(itemOf(photos));
    EXPECT_EQ(actions.item({notes}), std::nullopt) << "listed in another folder";
    EXPECT_TRUE(actions.menu(actions.item({notes})).empty());
}

// The menu and a double-click, by where the catalog is and what the item is.
TEST_F(CatalogItemActionsTest, MenuAndActivationByCatalogAndItem) {
    const struct {
        const char* what;
        std::optional<std::string> currentRoot;
        const char* name;
        std::vector<EntryKind> menu;
        std::string path;
        std::vector<std::string> opened;
        std::optional<std::string> message;
    } cases[] = {
        {"online file",
         "/media/me/Backup1",
         "notes.txt",
         {EntryKind::open, EntryKind::reveal, EntryKind::copyPath},
         "/media/me/Backup1/notes.txt",
         {"/media/me/Backup1/notes.txt"},
         std::nullopt},
        {"offline file",
         std::nullopt,
         "notes.txt",
         {EntryKind::open, EntryKind::copyPath},
         "/media/me/Backup/notes.txt",
         {},
         "Connect Backup to open this."},
        {"online file without a path",
         "/media/me/Backup",
         "lost.bin",
         {EntryKind::open, EntryKind::copyPath},
         "",
         {},
         "Connect Backup to open this."},
        {"offline folder",
         std::nullopt,
         "Photos",
         {EntryKind::open, EntryKind::copyPath},
         "/media/me/Backup/Photos",
         {},
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        model.entry.currentRoot = c.currentRoot;
        model.goTo(0);
        workspace.opened.clear();
        const auto item = *std::find_if(model.items.get().begin(), model.items.get().end(),
                                        [&](const auto& i) { return i.name == c.name; });
        const auto menu = actions.menu(item);
        std::vector<EntryKind> kinds;
        for (const auto& entry : menu)
            kinds.push_back(entry.kind);
        EXPECT_EQ(kinds, c.menu);
        EXPECT_EQ(menu.back().path, c.path);
        if (menu.size() == 3) {
            EXPECT_EQ(menu[1].path, c.path);
        }
        EXPECT_EQ(menu.front().title, "Open");
        EXPECT_EQ(menu.back().title, "Copy Path");

        EXPECT_EQ(actions.activate(item), c.message);
        EXPECT_EQ(workspace.opened, c.opened);
        if (item.isDirectory) {
            EXPECT_EQ(model.trail.get(), std::vector<std::uint32_t>{photos}) << "opened in place";
        }
    }
}

TEST_F(CatalogItemActionsTest, EntriesRevealAndCopyThePathTakenWhenTheMenuWasBuilt) {
    model.entry.currentRoot = "/media/me/Backup";
    const auto item = itemOf(notes);
    const auto menu = actions.menu(item);
    ASSERT_EQ(menu.size(), 3u);
    EXPECT_EQ(menu[1].title, "Reveal in File Manager");
    model.entry.currentRoot = "/media/me/Elsewhere";
    EXPECT_EQ(actions.perform(menu[1], item), std::nullopt);
    EXPECT_EQ(actions.perform(menu[2], item), std::nullopt);
    EXPECT_THAT(workspace.revealed, ::testing::ElementsAre("/media/me/Backup/notes.txt"));
    EXPECT_THAT(workspace.copied, ::testing::ElementsAre("/media/me/Backup/notes.txt"));

    // Copy Path of an item without a path copies the empty text.
    const auto lostItem = itemOf(lost);
    EXPECT_EQ(actions.perform(actions.menu(lostItem).back(), lostItem), std::nullopt);
    EXPECT_EQ(workspace.copied.back(), "");
    EXPECT_EQ(actions.perform(actions.menu(lostItem).front(), lostItem),
              "Connect Backup to open this.");
}

} // namespace
} // namespace ulmaro
