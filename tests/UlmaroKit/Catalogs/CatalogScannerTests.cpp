#include "UlmaroKit/Catalogs/CatalogScanner.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Scanning/DirectoryScanner.h"
#include "UlmaroKit/Scanning/ScanPolicy.h"
#include "support/TempDir.h"

#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace ulmaro {
namespace {

using test::TempDir;
using Appetite = AttributeFiller::Appetite;

void writeFile(const std::filesystem::path& p, std::size_t size) {
    std::ofstream(p, std::ios::binary) << std::string(size, 'x');
}

// tree/ with a.txt (10), sub/b.txt (20), sub/deeper/c.txt (30), empty/
struct Catalog {
    TempDir tmp;
    std::filesystem::path root = tmp / "tree";
    std::filesystem::path index = tmp / "catalog" / "index.bin";
    ScanPolicy policy{ScanPolicy::defaultExclusions()};

    Catalog() {
        std::filesystem::create_directories(root / "sub" / "deeper");
        std::filesystem::create_directories(root / "empty");
        writeFile(root / "a.txt", 10);
        writeFile(root / "sub" / "b.txt", 20);
        writeFile(root / "sub" / "deeper" / "c.txt", 30);
    }
    CatalogScanner::Outcome scan(const std::function<bool()>& go = [] { return true; }) {
        return CatalogScanner::scan(root.string(), "VOL-1", index, policy, Appetite::working, go);
    }
    // An earlier good catalog that a failed or cancelled scan must leave alone.
    std::uintmax_t writeOldIndex() {
        IndexBuilder old;
        old.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
        old.addEntry("old", 0, {}, 0);
        IndexWriter::write(old, {}, index);
        return std::filesystem::file_size(index);
    }
    std::size_t oldIndexCount() const { return IndexStore::open(index)->count(); }
    // How often the walk alone asks to go on.
    int walkCalls() const {
        std::atomic<int> calls{0};
        DirectoryScanner(policy, 3, 0.1, "").scan(root.string(), 0, {}, [&] {
            ++calls;
            return true;
        });
        return calls;
    }
};

TEST(CatalogScanner, WritesARolledUpOneVolumeIndexAndItsCounts) {
    Catalog c;
    std::int64_t progress = 0;
    auto outcome = CatalogScanner::scan(
        c.root.string() + "/", "VOL-1", c.index, c.policy, Appetite::watching, [] { return true; },
        [&](std::int64_t n) { progress = n; });
    const std::uint32_t rootID = CatalogScanner::rootRecordID(c.root.string());
    EXPECT_EQ(outcome, (CatalogScanner::Outcome{3, 3, 60, rootID, false}));
    EXPECT_GT(progress, 0);

    auto store = IndexStore::open(c.index);
    ASSERT_EQ(store->header().volumes.size(), 1u);
    EXPECT_EQ(store->header().volumes[0], (VolumeEntry{"VOL-1", c.root.string(), 0, true}));
    EXPECT_EQ(store->count(), rootID + 1 + 6);
    EXPECT_EQ(store->name(rootID), "tree");
    EXPECT_EQ((*store)[rootID].size, 60u);
    std::map<std::string, std::uint64_t> sizes;
    for (std::uint32_t id = rootID + 1; id < store->count(); ++id) {
        const FileRecord& r = (*store)[id];
        EXPECT_TRUE(r.flags.contains(RecordFlags::attrsFilled)) << store->name(id);
        EXPECT_NE(r.mtime, 0u);
        sizes[store->name(id)] = r.size;
    }
    EXPECT_EQ(sizes, (std::map<std::string, std::uint64_t>{{"a.txt", 10},
                                                           {"b.txt", 20},
                                                           {"c.txt", 30},
                                                           {"deeper", 30},
                                                           {"empty", 0},
                                                           {"sub", 50}}));
}

TEST(CatalogScanner, CancellingWritesNothing) {
    Catalog c;
    // How often the walk alone asks, and how often the whole scan asks.
    std::atomic<int> allCalls{0};
    c.scan([&] {
        ++allCalls;
        return true;
    });
    const int walkCalls = c.walkCalls();
    ASSERT_GT(allCalls.load(), walkCalls + 1);

    const auto size = c.writeOldIndex();
    // At once; at the first directory of the attribute pass; at the check before writing.
    for (int stopAt : {0, walkCalls, allCalls.load() - 1}) {
        std::atomic<int> calls{0};
        auto outcome = c.scan([&] { return calls++ < stopAt; });
        EXPECT_EQ(outcome, (CatalogScanner::Outcome{
                               0, 0, 0, CatalogScanner::rootRecordID(c.root.string()), true}))
            << stopAt;
        EXPECT_EQ(std::filesystem::file_size(c.index), size);
        EXPECT_EQ(c.oldIndexCount(), 2u);
    }
}

TEST(CatalogScanner, AMissingOrVanishedRootFailsWithoutWriting) {
    Catalog c;
    c.writeOldIndex();
    auto errorOf = [&](const std::function<bool()>& go) {
        try {
            c.scan(go);
        } catch (const std::system_error& e) {
            return e.code().value();
        }
        return 0;
    };
    auto always = [] { return true; };

    std::filesystem::rename(c.root, c.tmp / "unplugged");
    EXPECT_EQ(errorOf(always), ENOENT);
    writeFile(c.root, 1);
    EXPECT_EQ(errorOf(always), ENOTDIR);
    std::filesystem::remove(c.root);
    std::filesystem::rename(c.tmp / "unplugged", c.root);

    // Gone, or replaced by another folder (what an unplugged drive's mount point looks
    // like), at the start of the walk and once the walk is over.
    const int walkCalls = c.walkCalls();
    for (int at : {0, walkCalls})
        for (bool replace : {false, true}) {
            std::atomic<int> calls{0};
            int error = errorOf([&] {
                if (calls++ == at) {
                    std::filesystem::rename(c.root, c.tmp / "away");
                    if (replace) std::filesystem::create_directory(c.root);
                }
                return true;
            });
            EXPECT_EQ(error, replace ? ENODEV : ENOENT) << at;
            std::filesystem::remove_all(c.root);
            std::filesystem::rename(c.tmp / "away", c.root);
        }
    EXPECT_EQ(c.oldIndexCount(), 2u);
    EXPECT_FALSE(c.scan().cancelled);
}

TEST(CatalogScanner, RootRecordIDCountsPathComponents) {
    struct Case {
        const char* root;
        std::uint32_t id;
    } cases[] = {{"/", 0},
                 {"", 0},
                 {"/Volumes/Photos", 2},
                 {"/Volumes/Photos/", 2},
                 {"/Volumes//Photos", 2},
                 {"/Volumes/Photos/2020", 3}};
    for (const auto& c : cases)
        EXPECT_EQ(CatalogScanner::rootRecordID(c.root), c.id) << c.root;
}

} // namespace
} // namespace ulmaro
