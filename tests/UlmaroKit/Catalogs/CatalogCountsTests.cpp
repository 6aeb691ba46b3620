#include "UlmaroKit/Catalogs/CatalogStats.h"
#include "UlmaroKit/Catalogs/ChildrenIndex.h"
#include "UlmaroKit/Catalogs/FolderSizes.h"
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using test::TempDir;
constexpr auto folderFlags = RecordFlags::isDirectory;
constexpr auto fileFlags = RecordFlags{};
constexpr auto deleted = RecordFlags::deleted;
constexpr std::uint32_t none = FileRecord::rootParentID;

std::uint32_t add(IndexBuilder& b, const char* name, std::uint32_t parent, RecordFlags flags,
                  std::uint64_t size = 0) {
    std::uint32_t id = b.addEntry(name, parent, flags, 0);
    b.records[id].size = size;
    return id;
}

TEST(FolderSizes, RollsSizesUpToEveryFolder) {
    IndexBuilder b;
    auto root = add(b, "", none, folderFlags);
    auto a = add(b, "a", root, folderFlags, 999); // a stale folder size is replaced
    add(b, "f1", a, fileFlags, 10);
    auto sub = add(b, "sub", a, folderFlags);
    add(b, "f2", sub, fileFlags, 5);
    auto onlyDeleted = add(b, "empty", root, folderFlags);
    add(b, "ghost", onlyDeleted, fileFlags | deleted, 70);
    auto gone = add(b, "gone", root, folderFlags | deleted, 123);
    add(b, "kept", gone, fileFlags, 40);
    add(b, "huge", root, fileFlags, ~std::uint64_t{0}); // wraps modulo 2^64
    b.records[a].mtime = 77;

    FolderSizes::rollUp(b);
    EXPECT_EQ(b.records[sub].size, 5u);
    EXPECT_EQ(b.records[a].size, 15u);
    EXPECT_EQ(b.records[a].mtime, 77u);
    EXPECT_EQ(b.records[onlyDeleted].size, 0u);
    EXPECT_EQ(b.records[gone].size, 123u); // a deleted folder keeps its size and passes none on
    EXPECT_FALSE(b.records[gone].flags.contains(RecordFlags::attrsFilled));
    EXPECT_EQ(b.records[root].size, 15u + ~std::uint64_t{0});
    EXPECT_TRUE(b.records[root].flags.contains(RecordFlags::attrsFilled));

    IndexBuilder empty;
    FolderSizes::rollUp(empty);
    EXPECT_TRUE(empty.records.empty());
}

TEST(CatalogStats, CountsFilesFoldersAndBytes) {
    IndexBuilder b; // two drives listed without a common root
    auto c = add(b, "C:", none, folderFlags);
    add(b, "a", c, fileFlags, 10);
    add(b, "b", c, fileFlags, 20);
    auto d = add(b, "D:", none, folderFlags);
    add(b, "e", d, fileFlags, 5);
    add(b, "x", d, fileFlags | deleted, 50);
    FolderSizes::rollUp(b);
    EXPECT_EQ(CatalogStats::measure(b), (CatalogStats{3, 2, 35}));
    EXPECT_EQ(CatalogStats::measure(b, 4000), CatalogStats::measure(b));

    IndexBuilder scanned; // "/", "media", "disk" is the scanned root
    auto r = add(scanned, "", none, folderFlags);
    auto media = add(scanned, "media", r, folderFlags);
    auto disk = add(scanned, "disk", media, folderFlags);
    add(scanned, "f", disk, fileFlags, 8);
    add(scanned, "g", add(scanned, "sub", disk, folderFlags), fileFlags, 4);
    add(scanned, "other", media, fileFlags, 1000); // beside the root (not in a real scan)
    FolderSizes::rollUp(scanned);
    EXPECT_EQ(CatalogStats::measure(scanned, disk), (CatalogStats{3, 1, 12}));
    EXPECT_EQ(CatalogStats::measure(scanned, 0), (CatalogStats{3, 3, 1012}));

    IndexBuilder small;
    add(small, "", none, folderFlags);
    EXPECT_EQ(CatalogStats::measure(small, 0), (CatalogStats{0, 0, 0}));
}

TEST(ChildrenIndex, ListsLiveChildrenByParent) {
    TempDir tmp;
    IndexBuilder b;
    auto root = add(b, "", none, folderFlags);
    auto a = add(b, "a", root, folderFlags);
    add(b, "x", a, fileFlags | deleted);
    auto y = add(b, "y", a, fileFlags);
    auto bb = add(b, "b", root, fileFlags);
    add(b, "dead-root", none, folderFlags | deleted);
    auto second = add(b, "second-root", none, folderFlags);
    IndexWriter::write(b, {}, tmp / "i.bin");
    auto store = IndexStore::open(tmp / "i.bin");

    ChildrenIndex index(*store);
    EXPECT_EQ(index.roots, (std::vector<std::uint32_t>{root, second}));
    EXPECT_EQ(index.children(root), (std::vector<std::uint32_t>{a, bb}));
    EXPECT_EQ(index.children(a), (std::vector<std::uint32_t>{y}));
    EXPECT_TRUE(index.children(y).empty());
    EXPECT_TRUE(index.children(9999).empty());
    EXPECT_TRUE(index.children(none).empty()); // p + 1 must not wrap to 0
    EXPECT_EQ(index.start.size(), b.records.size() + 1);

    IndexWriter::write(IndexBuilder(), {}, tmp / "empty.bin");
    ChildrenIndex empty(*IndexStore::open(tmp / "empty.bin"));
    EXPECT_EQ(empty.start, (std::vector<std::uint32_t>{0}));
    EXPECT_TRUE(empty.ids.empty() && empty.roots.empty() && empty.children(0).empty());
}

} // namespace
} // namespace ulmaro
