#include "UlmaroAppKit/Catalogs/CatalogWindowRules.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using Colour = CatalogWindowRules::Colour;

CatalogEntry entry(std::string id, std::optional<std::string> root,
                   CatalogEntry::Health health = CatalogEntry::Health::ok(),
                   CatalogInfo::Kind kind = CatalogInfo::Kind::drive) {
    CatalogEntry e;
    e.info.id = id;
    e.info.name = "Catalog ";
    e.info.name += id;
    e.info.kind = kind;
    e.currentRoot = std::move(root);
    e.health = std::move(health);
    return e;
}

/// The browser model's rule, as far as these cases need it.
std::string modelStatus(const CatalogEntry& e) {
    if (e.health.isDamaged()) return "Damaged";
    if (e.health.kind == CatalogEntry::Health::Kind::folderMissing) return "Folder missing";
    if (e.info.kind == CatalogInfo::Kind::efu) return "Imported file list";
    return e.currentRoot ? "Connected" : "Offline";
}

TEST(CatalogWindowRules, StatusAndColourByState) {
    const CatalogCoordinator::Activity idle = CatalogCoordinator::Idle{};
    const CatalogCoordinator::Activity justStarted = CatalogCoordinator::Scanning{"A", "A", 0};
    const CatalogCoordinator::Activity scanningA = CatalogCoordinator::Scanning{"A", "A", 12345};
    const CatalogWindowRules::LastErrors failedA{{"A", "Couldn\u2019t read it"}};
    const struct {
        const char* what;
        CatalogEntry entry;
        CatalogCoordinator::Activity activity;
        CatalogWindowRules::LastErrors errors;
        std::string status;
        Colour colour;
    } cases[] = {
        {"online", entry("A", "/media/a"), idle, {}, "Connected", Colour::green},
        {"a scan just started keeps its colour",
         entry("A", "/media/a"),
         justStarted,
         {},
         "Cataloguing\u2026 0 files",
         Colour::green},
        {"plain digits",
         entry("A", std::nullopt),
         scanningA,
         {},
         "Cataloguing\u2026 12345 files",
         Colour::faded},
        {"another catalog scans",
         entry("B", "/media/b"),
         scanningA,
         {},
         "Connected",
         Colour::green},
        {"failed while online", entry("A", "/media/a"), idle, failedA, "Last scan failed",
         Colour::orange},
        {"scanning wins over failed", entry("A", "/media/a"), scanningA, failedA,
         "Cataloguing\u2026 12345 files", Colour::orange},
        {"offline", entry("A", std::nullopt), idle, {}, "Offline", Colour::faded},
        {"folder missing",
         entry("A", std::nullopt, CatalogEntry::Health::folderMissing()),
         idle,
         {},
         "Folder missing",
         Colour::faded},
        {"file list",
         entry("A", std::nullopt, CatalogEntry::Health::ok(), CatalogInfo::Kind::efu),
         idle,
         {},
         "Imported file list",
         Colour::faded},
        {"damaged",
         entry("A", std::nullopt, CatalogEntry::Health::damaged("bad")),
         idle,
         {},
         "Damaged",
         Colour::orange},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CatalogWindowRules::status(c.entry, c.activity, c.errors, modelStatus), c.status)
            << c.what;
        EXPECT_EQ(CatalogWindowRules::colour(c.entry, c.errors), c.colour) << c.what;
    }
}

TEST(CatalogWindowRules, SidebarRowsAreTheLibraryThenTheCatalogsBeingMade) {
    CatalogInfo pending;
    pending.id = "N";
    pending.name = "New folder";
    const auto rows = CatalogWindowRules::sidebarRows(
        {entry("A", "/media/a"), entry("B", std::nullopt)}, {pending},
        CatalogCoordinator::Scanning{"N", "New folder", 40}, {}, modelStatus);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0],
              (CatalogWindowRules::SidebarRow{"A", "Catalog A", "Connected", Colour::green, true}));
    EXPECT_EQ(rows[1].status, "Offline");
    EXPECT_EQ(rows[2], (CatalogWindowRules::SidebarRow{"N", "New folder", "Cataloguing\u2026",
                                                       Colour::orange, false}));
}

TEST(CatalogWindowRules, EmptyTitlesAndDamagedHints) {
    EXPECT_EQ(CatalogWindowRules::emptyTitle(true), "No catalogs yet");
    EXPECT_EQ(CatalogWindowRules::emptyTitle(false), "Choose a catalog");
    CatalogEntry unreadable = entry("X", std::nullopt, CatalogEntry::Health::damaged("bad"));
    unreadable.info.name = unreadable.info.id;
    EXPECT_EQ(CatalogWindowRules::damagedHint(unreadable),
              "Forget it, then catalog the drive again.");
    EXPECT_EQ(CatalogWindowRules::damagedHint(
                  entry("X", std::nullopt, CatalogEntry::Health::damaged("bad"))),
              "Forget it, or rescan once the drive is connected.");
}

} // namespace
} // namespace ulmaro
