#include "MenuBarFixture.h"
#include "MenuOutline.h"
#include "UlmaroAppKit/MenuBar/MenuBarMenuBuilder.h"
#include "UlmaroAppKit/Text/UserLocale.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

// Appends rather than prepends: GCC 12 misreads "literal" + std::string as overlapping.
std::string numbered(std::string prefix, std::size_t n) {
    prefix += std::to_string(n);
    return prefix;
}

using test::findItem;
using test::outline;
using VM = MenuBarViewModel;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class MenuBarMenuBuilderTest : public ::testing::Test, protected test::MenuBarFixture {
protected:
    MenuBarMenuBuilder builder{environment(), callbacks()};
};

TEST_F(MenuBarMenuBuilderTest, EverythingShownInOrder) {
    ScopedUserLocale locale("de_DE");
    VM viewModel{
        .indexState = VM::Ready{1234567, clock->now()},
        .recentFiles = {{"/home/ada/a.txt", "a.txt", clock->now()}},
        .startAtLogin = LoginItemViewModel::DisplayState::on,
        .savedSearches = {{"Photos", "kind:image"}, {"Notes", "ext:md"}},
        .deniedDirectories = 2,
        .deniedPaths = {"/home/ada/private", "/srv/locked"},
        .health = health(),
        .catalogs = {{"c1", "Backup", true, false, false}, {"c2", "Archive", false, false, true}},
        .hotKeyUnavailable = true};
    viewModel.health->pendingLiveChanges = 3;
    EXPECT_THAT(
        outline(builder.buildMenu(viewModel)),
        ElementsAre("---", "Search… [Alt+Space]", "---", "---", "1,234,567 files indexed (off)",
                    "45,6 MB on disk · 850 KB memory (off)", "Updated 5 minutes ago (off)",
                    "Status: Healthy (off)", "3 live changes since last full scan (off)",
                    "2 folders couldn’t be read — fix…", "  ~/private", "  /srv/locked", "---",
                    "Saved Searches (off)", "Photos", "Notes", "---", "Refresh",
                    "Settings… [Ctrl+,]", "Start at Login [x]", "Catalog", "  Backup   Connected",
                    "  Archive   Damaged", "  ---", "  Open Catalog…", "Troubleshooting",
                    "  Clear Recents", "  Reset Panel Position",
                    "Shortcut unavailable — click to change", "---", "Search Help [Ctrl+/]",
                    "Email help@example.org", "Check for Updates…", "---", "Version 2.1 (off)",
                    "Quit Ulmaro [Ctrl+Q]"));
}

TEST_F(MenuBarMenuBuilderTest, BareMenu) {
    const MenuSpec menu = builder.buildMenu(VM{});
    EXPECT_THAT(outline(menu),
                ElementsAre("---", "Search… [Alt+Space]", "---", "---", "Saved Searches (off)",
                            "Star a search to keep it here (off)", "---", "Refresh",
                            "Settings… [Ctrl+,]", "Start at Login [ ]", "Catalog",
                            "  Open Catalog…", "Troubleshooting", "  Clear Recents (off)",
                            "  Reset Panel Position", "Search Help [Ctrl+/]",
                            "Email help@example.org", "Check for Updates…", "---",
                            "Version 2.1 (off)", "Quit Ulmaro [Ctrl+Q]"));
    EXPECT_TRUE(menu.healthLineIndexes().empty());
}

TEST_F(MenuBarMenuBuilderTest, HealthLinesOnlyForALoadedIndex) {
    IndexHealth notLoaded = health();
    notLoaded.isLoaded = false;
    EXPECT_TRUE(builder.buildMenu(VM{.health = notLoaded}).healthLineIndexes().empty());
    EXPECT_TRUE(builder.buildMenu(VM{.health = std::nullopt}).healthLineIndexes().empty());
    EXPECT_EQ(builder.buildMenu(VM{.health = health()}).healthLineIndexes().size(), 4u);
}

TEST_F(MenuBarMenuBuilderTest, HealthLinesBytesInKilobytesOrMegabytes) {
    ScopedUserLocale locale("en_US");
    IndexHealth h = health();
    const struct {
        std::uint64_t index, footprint;
        std::string line;
    } cases[] = {
        {0, 999, "Zero KB on disk · 1 KB memory"},
        {1'500'000, 2'350'000'000, "1.5 MB on disk · 2,350 MB memory"},
    };
    for (const auto& c : cases) {
        h.indexBytes = c.index;
        h.footprintBytes = c.footprint;
        EXPECT_EQ(MenuBarMenuBuilder::healthLines(h, clock->now())[1], c.line);
    }
    h.lastIndexed.reset();
    h.pendingLiveChanges = 1;
    EXPECT_THAT(MenuBarMenuBuilder::healthLines(h, clock->now()),
                ElementsAre("1,234,567 files indexed", cases[1].line, "Never indexed",
                            "Status: Healthy", "1 live change since last full scan"));
}

TEST_F(MenuBarMenuBuilderTest, UnreadableFolders) {
    std::vector<std::string> paths;
    for (int i = 1; i <= 13; ++i)
        paths.push_back(numbered("/home/ada/d", i));
    const struct {
        std::int64_t count;
        std::vector<std::string> paths;
        std::string title; // empty: no item
        std::size_t shown;
    } cases[] = {
        {13, paths, "13 folders couldn’t be read — fix…", 12},
        {1, {"/home/ada/d1"}, "1 folder couldn’t be read — fix…", 1},
        {1234, {}, "1,234 folders couldn’t be read — fix…", 0},
        {0, paths, "", 0},
    };
    for (const auto& c : cases) {
        const MenuSpec menu =
            builder.buildMenu(VM{.deniedDirectories = c.count, .deniedPaths = c.paths});
        const auto fix = std::find_if(menu.items.begin(), menu.items.end(), [](auto& item) {
            return item.action == MenuAction::fixPermissions;
        });
        if (c.title.empty()) {
            EXPECT_EQ(fix, menu.items.end());
            continue;
        }
        ASSERT_NE(fix, menu.items.end());
        EXPECT_EQ(fix->title, c.title);
        ASSERT_EQ(fix->submenu.size(), c.shown);
        for (std::size_t i = 0; i < c.shown; ++i) {
            const MenuItemSpec& reveal = fix->submenu[i];
            EXPECT_EQ(reveal.title, numbered("~/d", i + 1));
            EXPECT_EQ(reveal.tooltip, c.paths[i]);
            EXPECT_EQ(reveal.payload, c.paths[i]);
            EXPECT_EQ(reveal.action, MenuAction::revealDeniedPath);
        }
    }
}

TEST(MenuBarMenuBuilder, AbbreviatingHome) {
    const struct {
        std::string_view path, home, shown;
    } cases[] = {
        {"/home/ada", "/home/ada", "~"},
        {"/home/ada/x/y", "/home/ada/", "~/x/y"},
        {"/home/adam/x", "/home/ada", "/home/adam/x"},
        {"/srv/x", "/home/ada", "/srv/x"},
        {"/srv/x", "/", "/srv/x"},
        {"/srv/x", "", "/srv/x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MenuBarMenuBuilder::abbreviatingHome(c.path, c.home), c.shown) << c.path;
}

TEST_F(MenuBarMenuBuilderTest, EightOfNineSavedSearchesSendTheirQuery) {
    VM viewModel;
    for (int i = 1; i <= 9; ++i)
        viewModel.savedSearches.push_back({numbered("Name ", i), numbered("q", i)});
    const MenuSpec menu = builder.buildMenu(viewModel);
    std::vector<const MenuItemSpec*> saved;
    for (const auto& item : menu.items)
        if (item.action == MenuAction::savedSearch) saved.push_back(&item);
    ASSERT_EQ(saved.size(), 8u);
    EXPECT_EQ(saved.back()->title, "Name 8");
    EXPECT_EQ(findItem(menu, "Name 9"), nullptr);
    builder.perform(saved[2]->action, saved[2]->payload);
    EXPECT_THAT(calls, ElementsAre("recentSearch:q3"));
}

TEST_F(MenuBarMenuBuilderTest, CatalogRowsCarryTheirSymbolTintAndID) {
    const MenuSpec menu = builder.buildMenu(VM{.catalogs = {{"a", "A", true, false, false},
                                                            {"b", "B", true, true, false},
                                                            {"c", "C", false, false, false},
                                                            {"d", "D", true, true, true}}});
    const MenuItemSpec* catalog = findItem(menu, "Catalog");
    ASSERT_NE(catalog, nullptr);
    const struct {
        std::string title, symbol;
        MenuTint tint;
    } rows[] = {{"A   Connected", "checkmark.circle.fill", MenuTint::green},
                {"B   Cataloguing…", "clock", MenuTint::secondary},
                {"C   Offline", "externaldrive", MenuTint::secondary},
                {"D   Damaged", "exclamationmark.triangle", MenuTint::orange}};
    ASSERT_EQ(catalog->submenu.size(), std::size(rows) + 2);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const MenuItemSpec& row = catalog->submenu[i];
        EXPECT_EQ(row.title, rows[i].title);
        EXPECT_EQ(row.symbol, rows[i].symbol);
        EXPECT_EQ(row.tint, rows[i].tint);
        EXPECT_EQ(row.action, MenuAction::openCatalog);
        builder.perform(row.action, row.payload);
    }
    const MenuItemSpec& open = catalog->submenu.back();
    builder.perform(open.action, open.payload);
    EXPECT_THAT(calls, ElementsAre("openCatalog:a", "openCatalog:b", "openCatalog:c",
                                   "openCatalog:d", "openCatalog:(none)"));
}

TEST_F(MenuBarMenuBuilderTest, ClearRecentsEnabledByEitherList) {
    const auto enabled = [&](const VM& viewModel) {
        return findItem(builder.buildMenu(viewModel), "Troubleshooting")->submenu[0].enabled;
    };
    EXPECT_FALSE(enabled(VM{}));
    EXPECT_TRUE(enabled(VM{.recentSearches = {{"q", 1, clock->now()}}}));
    EXPECT_TRUE(enabled(VM{.recentFiles = {{"/a", "a", clock->now()}}}));
}

TEST_F(MenuBarMenuBuilderTest, LoginItemTitleAndCheck) {
    using D = LoginItemViewModel::DisplayState;
    const struct {
        D state;
        std::string line;
    } cases[] = {{D::on, "Start at Login [x]"},
                 {D::off, "Start at Login [ ]"},
                 {D::pendingApproval, "Start at Login (Pending Approval) [ ]"},
                 {D::unavailable, "Start at Login (Click to Retry) [ ]"}};
    for (const auto& c : cases) {
        const auto lines = outline(builder.buildMenu(VM{.startAtLogin = c.state}));
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.line), lines.end()) << c.line;
    }
}

TEST_F(MenuBarMenuBuilderTest, VersionWithoutOneAndTheLinks) {
    EXPECT_EQ(MenuBarLinks::versionText(""), "—");
    EXPECT_EQ(MenuBarLinks::versionText("1.0"), "1.0");
    EXPECT_FALSE(MenuBarMenuBuilder::appVersion().empty());

    MenuBarMenuBuilder unversioned(environment(MenuBarLinks::versionText("")), callbacks());
    EXPECT_NE(findItem(unversioned.buildMenu(VM{}), "Version —"), nullptr);

    unversioned.perform(MenuAction::support, std::nullopt);
    unversioned.perform(MenuAction::checkForUpdates, std::nullopt);
    builder.perform(MenuAction::support, std::nullopt);
    builder.perform(MenuAction::checkForUpdates, std::nullopt);
    EXPECT_THAT(workspace->opened, ElementsAre("mailto:help@example.org?subject=Ulmaro%20%E2%80%94",
                                               "https://example.org/updates?from=%E2%80%94#top",
                                               "mailto:help@example.org?subject=Ulmaro%202.1",
                                               "https://example.org/updates?from=2.1#top"));

    const MenuBarLinks none{"1", "", ""};
    EXPECT_EQ(none.supportMailtoURL("1"), std::nullopt);
    EXPECT_EQ(none.updatesURL(), std::nullopt);
    const MenuBarLinks build = MenuBarLinks::ofThisBuild();
    EXPECT_TRUE(build.supportMailtoURL(build.version).has_value());
    EXPECT_TRUE(build.updatesURL().has_value());
}

TEST_F(MenuBarMenuBuilderTest, EachActionCallsItsCallback) {
    const struct {
        MenuAction action;
        std::optional<std::string> payload;
        std::vector<std::string> calls;
    } cases[] = {
        {MenuAction::none, std::nullopt, {}},
        {MenuAction::search, std::nullopt, {"search"}},
        {MenuAction::rebuild, std::nullopt, {"rebuild"}},
        {MenuAction::openSettings, std::nullopt, {"settings"}},
        {MenuAction::fixPermissions, std::nullopt, {"fixPermissions"}},
        {MenuAction::savedSearch, std::nullopt, {}},
        {MenuAction::recentSearch, "ext:pdf", {"recentSearch:ext:pdf"}},
        {MenuAction::recentSearch, std::nullopt, {}},
        {MenuAction::recentFile, "/a/b", {"recentFile:/a/b"}},
        {MenuAction::recentFile, std::nullopt, {}},
        {MenuAction::clearRecents, std::nullopt, {"clearRecents"}},
        {MenuAction::resetPosition, std::nullopt, {"resetPosition"}},
        {MenuAction::toggleStartAtLogin, std::nullopt, {"toggleStartAtLogin"}},
        {MenuAction::searchHelp, std::nullopt, {"searchHelp"}},
        {MenuAction::quit, std::nullopt, {"quit"}},
        {MenuAction::revealDeniedPath, std::nullopt, {}},
    };
    for (const auto& c : cases) {
        calls.clear();
        builder.perform(c.action, c.payload);
        EXPECT_THAT(calls, ElementsAreArray(c.calls)) << static_cast<int>(c.action);
    }
    builder.perform(MenuAction::revealDeniedPath, "/srv/locked");
    EXPECT_THAT(workspace->revealed, ElementsAre("/srv/locked"));

    // A builder whose coordinator installed nothing does nothing.
    MenuBarMenuBuilder bare(environment(), {});
    for (const auto& c : cases)
        bare.perform(c.action, c.payload);
}

TEST_F(MenuBarMenuBuilderTest, PathsThatAreNotUtf8AreShownRepairedAndRevealedAsBytes) {
    const std::string raw = "/srv/caf\xe9";
    const MenuSpec menu = builder.buildMenu(VM{.deniedDirectories = 1, .deniedPaths = {raw}});
    const MenuItemSpec& reveal = menu.items[3].submenu.at(0);
    EXPECT_EQ(reveal.title, "/srv/caf\uFFFD");
    EXPECT_EQ(reveal.tooltip, "/srv/caf\uFFFD");
    EXPECT_EQ(reveal.payload, raw);
}

} // namespace
} // namespace ulmaro
