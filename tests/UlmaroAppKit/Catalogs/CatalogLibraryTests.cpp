#include "UlmaroAppKit/Catalogs/CatalogLibrary.h"
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "support/TempDir.h"
#include "support/VolumeFixtures.h"

#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace ulmaro {
namespace {

using test::volume;

namespace fs = std::filesystem;
using test::TempDir;

class CatalogLibraryTest : public ::testing::Test {
protected:
    TempDir dir;
    CatalogLayout layout{dir / "Catalogs"};
    std::set<std::string> present;
    std::vector<fs::path> trashed;
    bool trashWorks = true;

    CatalogLibrary makeLibrary() {
        return CatalogLibrary(
            layout, [this](const std::string& p) { return present.count(p) > 0; },
            [this](const fs::path& p) {
                if (!trashWorks) return false;
                trashed.push_back(p);
                fs::remove_all(p);
                return true;
            });
    }

    // A catalog folder with a small valid index; `info.id` may differ from the folder.
    void writeCatalog(const std::string& folder, CatalogInfo info) {
        IndexBuilder b;
        b.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
        b.addEntry("file.txt", 0, RecordFlags{}, 0);
        fs::create_directories(layout.root() / folder);
        IndexWriter::write(b, std::vector<VolumeEntry>{{info.volumeUUID, "/", 0, true}},
                           layout.root() / folder / "index.bin");
        info.write(layout.root() / folder / "info.json");
    }
    static CatalogInfo info(std::string id, std::string name, std::string uuid = "V",
                            std::string relative = "",
                            CatalogInfo::Kind kind = CatalogInfo::Kind::drive) {
        CatalogInfo i;
        i.id = std::move(id);
        i.name = std::move(name);
        i.volumeUUID = std::move(uuid);
        i.relativeRoot = std::move(relative);
        i.kind = kind;
        return i;
    }
    static std::vector<std::string> ids(const CatalogLibrary& library) {
        std::vector<std::string> out;
        for (const auto& e : library.entries())
            out.push_back(e.id());
        return out;
    }
};

TEST_F(CatalogLibraryTest, SortsNaturallyAndStablyAndCountsEveryReplacement) {
    writeCatalog("c1", info("c1", "disk 10"));
    writeCatalog("c2", info("c2", "Disk 2"));
    writeCatalog("c3", info("c3", "Same"));
    writeCatalog("c4", info("c4", "Same"));
    fs::create_directories(layout.root() / "no-info");
    auto library = makeLibrary();
    int changes = 0;
    std::int64_t generationSeen = -1;
    library.onChange = [&] {
        ++changes;
        generationSeen = library.generation();
    };
    library.reloadAll();
    EXPECT_EQ(ids(library), (std::vector<std::string>{"c2", "c1", "c3", "c4"}));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(generationSeen, 1);
    library.reload("c3");
    EXPECT_EQ(ids(library), (std::vector<std::string>{"c2", "c1", "c4", "c3"}));
    EXPECT_EQ(library.generation(), 2);
    ASSERT_NE(library.entry("c1"), nullptr);
    EXPECT_NE(library.entry("c1")->store, nullptr);
}

TEST_F(CatalogLibraryTest, DamagedCatalogsAreListedWithTheirReason) {
    writeCatalog("missing-index", info("missing-index", "Missing index"));
    fs::remove(layout.indexURL("missing-index"));
    writeCatalog("corrupt", info("corrupt", "Corrupt"));
    {
        std::fstream f(layout.indexURL("corrupt"), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(-1, std::ios::end);
        f.put('\x7f');
    }
    writeCatalog("truncated", info("truncated", "Truncated"));
    fs::resize_file(layout.indexURL("truncated"), 100);
    writeCatalog("magic", info("magic", "Magic"));
    {
        std::fstream f(layout.indexURL("magic"), std::ios::in | std::ios::out | std::ios::binary);
        f.put('X');
    }
    fs::create_directories(layout.root() / "newer");
    std::ofstream(layout.infoURL("newer")) << R"({"formatVersion": 2, "id": "newer"})";
    fs::create_directories(layout.root() / "garbage");
    std::ofstream(layout.infoURL("garbage")) << "not json";

    present.insert("/");
    auto library = makeLibrary();
    library.reloadAll();
    library.updateMounted({volume("V", "/")});
    struct Expect {
        std::string id, reason;
    };
    const Expect expected[] = {
        {"missing-index", "Its index file is missing."},
        {"corrupt", "Its index file failed its checksum."},
        {"truncated", "Its index file is incomplete."},
        {"magic", "Its index file isn\u2019t an Ulmaro index."},
        {"newer", "Made by a newer version of Ulmaro (format 2)."},
        {"garbage", "Its information file can\u2019t be read."},
    };
    for (const auto& e : expected) {
        const CatalogEntry* entry = library.entry(e.id);
        ASSERT_NE(entry, nullptr) << e.id;
        EXPECT_EQ(entry->health, CatalogEntry::Health::damaged(e.reason)) << e.id;
        EXPECT_EQ(entry->store, nullptr) << e.id;
    }
    // A missing index still knows where its drive is; a placeholder has no volume.
    EXPECT_EQ(library.entry("missing-index")->currentRoot, "/");
    const auto& newer = *library.entry("newer");
    EXPECT_EQ(newer.info.name, "newer");
    EXPECT_EQ(newer.info.kind, CatalogInfo::Kind::folder);
    EXPECT_FALSE(newer.isOnline());
}

TEST_F(CatalogLibraryTest, MountChangesMoveRootsButNeverHealDamage) {
    writeCatalog("trips", info("trips", "Trips", "PH", "2024/Trips"));
    writeCatalog("list", info("list", "List", "PH", "", CatalogInfo::Kind::efu));
    writeCatalog("broken", info("broken", "Broken", "PH", ""));
    fs::remove(layout.indexURL("broken"));
    auto library = makeLibrary();
    library.reloadAll();
    using Health = CatalogEntry::Health;
    EXPECT_EQ(library.entry("trips")->health, Health::ok());
    EXPECT_FALSE(library.entry("trips")->isOnline());

    library.updateMounted({volume("PH", "/media/Photos")});
    EXPECT_EQ(library.entry("trips")->health, Health::folderMissing());
    EXPECT_EQ(library.entry("list")->health, Health::ok());
    EXPECT_FALSE(library.entry("list")->isOnline());

    present = {"/media/Photos/2024/Trips", "/media/Photos"};
    library.updateMounted({volume("PH", "/media/Photos")});
    EXPECT_EQ(library.entry("trips")->currentRoot, "/media/Photos/2024/Trips");
    EXPECT_TRUE(library.entry("broken")->health.isDamaged());
    EXPECT_EQ(library.entry("broken")->currentRoot, "/media/Photos");

    library.updateMounted({});
    EXPECT_EQ(library.entry("trips")->health, Health::ok());
    EXPECT_FALSE(library.entry("trips")->isOnline());
    EXPECT_TRUE(library.entry("broken")->health.isDamaged());
    EXPECT_EQ(library.generation(), 4);
}

TEST_F(CatalogLibraryTest, ForgetTrashesTheFolderOrChangesNothing) {
    writeCatalog("a", info("a", "A"));
    writeCatalog("b", info("b", "B"));
    auto library = makeLibrary();
    int changes = 0;
    library.onChange = [&] { ++changes; };
    library.reloadAll();
    trashWorks = false;
    EXPECT_FALSE(library.forget("a"));
    EXPECT_EQ(ids(library), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(changes, 1);
    trashWorks = true;
    EXPECT_TRUE(library.forget("a"));
    EXPECT_EQ(ids(library), (std::vector<std::string>{"b"}));
    EXPECT_EQ(trashed, (std::vector<fs::path>{layout.directory("a")}));
    EXPECT_EQ(library.generation(), 2);
    EXPECT_FALSE(library.forget("../b"));
}

TEST_F(CatalogLibraryTest, TheFolderNameIsTheIDWhateverTheInfoSays) {
    // A copied folder whose info names another catalog must never act on that one.
    writeCatalog("real", info("real", "Real"));
    writeCatalog("copy", info("real", "Copy"));
    writeCatalog("weird", info("../../etc", "Weird"));
    writeCatalog("escape", info("escape", "Escape", "V", "../../etc"));
    present = {"/", "/etc"};
    auto library = makeLibrary();
    library.reloadAll();
    library.updateMounted({volume("V", "/")});
    EXPECT_EQ(ids(library), (std::vector<std::string>{"copy", "escape", "real", "weird"}));
    ASSERT_TRUE(library.forget("copy"));
    EXPECT_TRUE(fs::exists(layout.directory("real")));
    // An unsafe root is browsable offline, never looked for on the drive.
    EXPECT_FALSE(library.entry("escape")->isOnline());
    EXPECT_EQ(library.entry("escape")->health, CatalogEntry::Health::ok());
}

TEST_F(CatalogLibraryTest, AnAbsentCatalogsFolderStillPublishes) {
    auto library = makeLibrary();
    int changes = 0;
    library.onChange = [&] { ++changes; };
    library.reloadAll();
    EXPECT_TRUE(library.entries().empty());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(library.generation(), 1);
}

TEST(CatalogLibraryTrash, AFolderAlreadyGoneHasLeftTheCatalogs) {
    TempDir dir;
    EXPECT_TRUE(CatalogLibrary::moveToTrash(dir / "never-there"));
}

} // namespace
} // namespace ulmaro
