#include "UlmaroAppKit/Catalogs/CatalogBrowserModel.h"
#include "UlmaroAppKit/Text/UserLocale.h"
#include "support/CatalogIndexFixture.h"

#include <gtest/gtest.h>
#include <map>

namespace ulmaro {
namespace {

using test::Catalogs;
using test::described;
using Item = CatalogBrowserModel::Item;
using Names = std::vector<std::string>;
using Kind = CatalogInfo::Kind;

Names namesOf(const std::vector<Item>& items) {
    Names names;
    for (const Item& item : items)
        names.push_back(item.name);
    return names;
}

Item itemNamed(const CatalogBrowserModel& model, std::string_view name) {
    for (const Item& item : model.items.get())
        if (item.name == name) return item;
    ADD_FAILURE() << "no item " << name;
    return {};
}

/// A disk recorded at /media/Disk.
struct DiskFixture {
    Catalogs catalogs;
    Catalogs::Index index{false};
    std::uint32_t photos = index.folder("/media/Disk/Photos");
    std::uint32_t trip = index.folder("/media/Disk/Photos/Trip");
    std::uint32_t beach = index.add("/media/Disk/Photos/Trip/beach.jpg", {}, 2048, 1700000000);
    std::uint32_t readme = index.add("/media/Disk/readme.txt", {}, 5);
    std::uint32_t outside = index.add("/media/other.txt");
    CatalogInfo info =
        catalogs.write("disk", index, described(Kind::drive, "/media/Disk", "Disk", "D1"));
    CatalogBrowserModel model{catalogs.library};
};

TEST(CatalogBrowserModel, FoldersFirstThenNamesInNaturalOrderTiesInRecordOrder) {
    ScopedUserLocale locale("en_US");
    Catalogs catalogs;
    Catalogs::Index index(false);
    for (const char* name : {"file10", "zeta", "file9", "alpha", "Same", "same", "File2"})
        index.add(std::string("/data/") + name,
                  std::string_view(name) == "zeta" ? Catalogs::Index::dir : RecordFlags{});
    index.add("/data/Beta", Catalogs::Index::dir);
    catalogs.write("c", index, described(Kind::folder, "/data"));
    CatalogBrowserModel model(catalogs.library);
    model.select("c");
    EXPECT_EQ(namesOf(model.items.get()),
              (Names{"Beta", "zeta", "alpha", "File2", "file9", "file10", "Same", "same"}));
    const Item& beta = model.items.get()[0];
    EXPECT_TRUE(beta.isDirectory);
    EXPECT_EQ(model.breadcrumb(), (Names{"c"}));
}

TEST(CatalogBrowserModel, WalkingTheTrail) {
    DiskFixture fx;
    CatalogBrowserModel& model = fx.model;
    model.select("disk");
    EXPECT_EQ(namesOf(model.items.get()), (Names{"Photos", "readme.txt"}))
        << "the listing starts at the recorded root";

    // Opening a file changes nothing; at the root going up changes nothing.
    model.open(itemNamed(model, "readme.txt"));
    model.goUp();
    EXPECT_TRUE(model.trail.get().empty());
    EXPECT_EQ(model.highlighted.get(), std::nullopt);

    model.open(itemNamed(model, "Photos"));
    model.open(itemNamed(model, "Trip"));
    EXPECT_EQ(model.trail.get(), (std::vector{fx.photos, fx.trip}));
    EXPECT_EQ(model.breadcrumb(), (Names{"Disk", "Photos", "Trip"}));
    EXPECT_EQ(model.items.get(),
              (std::vector<Item>{{fx.beach, "beach.jpg", false, 2048, 1700000000}}));

    model.goUp();
    EXPECT_EQ(model.trail.get(), (std::vector{fx.photos}));
    EXPECT_EQ(model.highlighted.get(), fx.trip) << "the folder just left";

    const struct {
        std::int64_t depth;
        std::vector<std::uint32_t> trail;
    } depths[] = {{5, {fx.photos, fx.trip}}, {1, {fx.photos}}, {0, {}}, {-1, {}}};
    for (const auto& d : depths) {
        model.reveal("/media/Disk/Photos/Trip/beach.jpg", "disk");
        model.goTo(d.depth);
        EXPECT_EQ(model.trail.get(), d.trail) << d.depth;
        EXPECT_EQ(model.highlighted.get(), std::nullopt) << d.depth;
    }
    EXPECT_EQ(namesOf(model.items.get()), (Names{"Photos", "readme.txt"}));
}

TEST(CatalogBrowserModel, RevealOpensTheFoldersDownToThePath) {
    DiskFixture fx;
    struct Case {
        const char* what;
        std::string path;
        std::vector<std::uint32_t> trail;
        std::optional<std::uint32_t> highlighted;
    };
    const Case cases[] = {
        {"inside", "/media/Disk/Photos/Trip/beach.jpg", {fx.photos, fx.trip}, fx.beach},
        {"a folder", "/media/Disk/Photos/Trip", {fx.photos}, fx.trip},
        {"outside", "/media/other.txt", {}, std::nullopt},
        {"a longer name", "/media/Disk2/readme.txt", {}, std::nullopt},
        {"the root itself", "/media/Disk", {}, std::nullopt},
        {"a missing component", "/media/Disk/Photos/Gone/beach.jpg", {fx.photos}, std::nullopt},
        {"through a file", "/media/Disk/readme.txt/x", {}, std::nullopt},
        {"case counts", "/media/Disk/photos/Trip", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        fx.model.reveal(c.path, "disk");
        EXPECT_EQ(fx.model.trail.get(), c.trail) << c.what;
        EXPECT_EQ(fx.model.highlighted.get(), c.highlighted) << c.what;
        EXPECT_EQ(fx.model.selectedID.get(), "disk");
    }

    // Mounted elsewhere now: paths are read where the drive is.
    fx.catalogs.mount("D1", "/run/media/u/Disk 1");
    fx.model.reveal("/run/media/u/Disk 1/Photos/Trip/beach.jpg", "disk");
    EXPECT_EQ(fx.model.highlighted.get(), fx.beach);
    fx.model.reveal("/media/Disk/Photos/Trip/beach.jpg", "disk");
    EXPECT_EQ(fx.model.highlighted.get(), std::nullopt);
}

TEST(CatalogBrowserModel, RevealUnderTheFileSystemRootAndInAFileList) {
    Catalogs catalogs;
    Catalogs::Index whole(false);
    const std::uint32_t etc = whole.folder("/etc");
    const std::uint32_t hosts = whole.add("/etc/hosts");
    catalogs.write("root", whole, described(Kind::drive, "/"));
    Catalogs::Index list(true);
    const std::uint32_t drive = list.folder("C:");
    const std::uint32_t users = list.folder("C:/Users");
    const std::uint32_t notes = list.add("C:/Users/notes.txt");
    const std::uint32_t lone = list.add("D:");
    catalogs.write("list", list, described(Kind::efu));
    CatalogBrowserModel model(catalogs.library);

    model.reveal("/etc/hosts", "root");
    EXPECT_EQ(model.trail.get(), (std::vector{etc}));
    EXPECT_EQ(model.highlighted.get(), hosts);

    struct Case {
        std::string path;
        std::vector<std::uint32_t> trail;
        std::optional<std::uint32_t> highlighted;
    };
    const Case cases[] = {
        {"C:/Users/notes.txt", {drive, users}, notes},
        {"C:", {}, drive},
        {"C:/Users", {drive}, users},
        {"C:x/Users", {}, std::nullopt},
        {"D:/x", {}, std::nullopt}, // a root that is no folder
        {"E:/x", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        model.reveal(c.path, "list");
        EXPECT_EQ(model.trail.get(), c.trail) << c.path;
        EXPECT_EQ(model.highlighted.get(), c.highlighted) << c.path;
    }
    (void)lone;
}

TEST(CatalogBrowserModel, LibraryChangesKeepTheWalkUnlessTheStoreChanged) {
    DiskFixture fx;
    CatalogBrowserModel& model = fx.model;
    model.reveal("/media/Disk/Photos/Trip", "disk");
    int reloads = 0;
    const Subscription counting = model.items.subscribe([&](const auto&) { ++reloads; });

    // The drive comes and goes: the same store, the listing reloaded for the online state.
    fx.catalogs.mount("D1", "/media/Disk");
    model.libraryChanged();
    EXPECT_EQ(model.trail.get(), (std::vector{fx.photos}));
    EXPECT_EQ(model.highlighted.get(), fx.trip);
    EXPECT_EQ(reloads, 1);
    model.libraryChanged();
    EXPECT_EQ(reloads, 1) << "nothing changed";
    fx.catalogs.unmountAll();
    model.libraryChanged();
    EXPECT_EQ(model.trail.get(), (std::vector{fx.photos}));
    EXPECT_EQ(reloads, 2);

    // A rescan brings a new store: back to the root.
    fx.catalogs.library.reload("disk");
    model.libraryChanged();
    EXPECT_TRUE(model.trail.get().empty());
    EXPECT_EQ(model.highlighted.get(), std::nullopt);
    EXPECT_EQ(namesOf(model.items.get()), (Names{"Photos", "readme.txt"}));

    // Forgotten: nothing selected, nothing listed.
    ASSERT_TRUE(fx.catalogs.library.forget("disk"));
    model.libraryChanged();
    EXPECT_EQ(model.selectedID.get(), std::nullopt);
    EXPECT_TRUE(model.items.get().empty());
    EXPECT_TRUE(model.breadcrumb().empty());
}

TEST(CatalogBrowserModel, PathsAreWhereTheItemCanBeReachedNow) {
    DiskFixture fx;
    Catalogs::Index list(true);
    list.add("C:/a/../b.txt");
    fx.catalogs.write("list", list, described(Kind::efu));
    Catalogs::Index dotted(false);
    dotted.add("/media/Disk/a/../b.txt");
    fx.catalogs.write("dotted", dotted, described(Kind::drive, "/media/Disk"));
    CatalogBrowserModel& model = fx.model;

    model.select("disk");
    const Item beach{fx.beach, "beach.jpg"};
    EXPECT_EQ(model.path(beach), "/media/Disk/Photos/Trip/beach.jpg") << "offline: as recorded";
    EXPECT_EQ(model.path({fx.outside, "other.txt"}), std::nullopt) << "outside the root";
    EXPECT_EQ(model.path({1'000'000, "x"}), std::nullopt);
    fx.catalogs.mount("D1", "/run/media/u/Disk 1");
    EXPECT_EQ(model.path(beach), "/run/media/u/Disk 1/Photos/Trip/beach.jpg");
    EXPECT_EQ(model.path({fx.info.rootRecordID.value(), "Disk"}), "/run/media/u/Disk 1");

    // A ".." is refused where it would climb out of a drive, kept in a file list.
    model.reveal("/media/Disk/a/../b.txt", "dotted");
    ASSERT_TRUE(model.highlighted.get());
    EXPECT_EQ(model.path({*model.highlighted.get(), "b.txt"}), std::nullopt);
    model.select("list");
    model.reveal("C:/a/../b.txt", "list");
    ASSERT_TRUE(model.highlighted.get());
    EXPECT_EQ(model.path({*model.highlighted.get(), "b.txt"}), "C:/a/../b.txt");

    model.select(std::nullopt);
    EXPECT_EQ(model.path(beach), std::nullopt);
}

TEST(CatalogBrowserModel, StatusAndInfoLines) {
    ScopedUserLocale locale("en_US");
    CatalogEntry entry;
    entry.info.kind = Kind::drive;
    entry.info.lastMountPath = "/media/Disk";
    entry.info.capacityBytes = -5;
    entry.info.fileCount = 1234567;
    entry.info.folderCount = 12;
    entry.info.totalBytes = ~std::uint64_t{0};
    entry.info.lastCatalogued = CatalogInfo::Date(std::chrono::seconds(1700000000));
    using Line = CatalogBrowserModel::InfoLine;
    EXPECT_EQ(CatalogBrowserModel::infoLines(entry),
              (std::vector<Line>{{"Status", "Offline"},
                                 {"Capacity", "Zero KB"},
                                 {"Files", "1,234,567"},
                                 {"Folders", "12"},
                                 {"Total size", "9.22 EB"},
                                 {"Last connected", "Never"},
                                 {"Last catalogued", CatalogBrowserModel::dateText(1700000000)},
                                 {"Location", "/media/Disk"}}));

    struct Case {
        CatalogEntry::Health health;
        Kind kind;
        bool online;
        const char* status;
    };
    const Case cases[] = {
        {CatalogEntry::Health::damaged("x"), Kind::efu, true, "Damaged"},
        {CatalogEntry::Health::folderMissing(), Kind::drive, false, "Folder missing"},
        {CatalogEntry::Health::ok(), Kind::efu, false, "Imported file list"},
        {CatalogEntry::Health::ok(), Kind::folder, true, "Connected"},
        {CatalogEntry::Health::ok(), Kind::drive, false, "Offline"},
    };
    for (const Case& c : cases) {
        CatalogEntry e;
        e.health = c.health;
        e.info.kind = c.kind;
        if (c.online) e.currentRoot = "/media/Now";
        EXPECT_EQ(CatalogBrowserModel::status(e), c.status);
        if (c.online) {
            EXPECT_EQ(CatalogBrowserModel::infoLines(e).back().value, "/media/Now");
        }
    }

    EXPECT_EQ(CatalogBrowserModel::dateText(0), "");
    EXPECT_NE(CatalogBrowserModel::dateText(1700000000).find("2023"), std::string::npos);
    EXPECT_EQ(CatalogBrowserModel::sizeText(~std::uint64_t{0}),
              CatalogBrowserModel::sizeText(std::numeric_limits<std::int64_t>::max()));
    EXPECT_EQ(CatalogBrowserModel::sizeText(1500), "2 KB");
}

} // namespace
} // namespace ulmaro
