#include "UlmaroAppKit/Search/FolderPathCache.h"
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Index/PathResolver.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

TEST(FolderPathCache, AnswersWhatThePathResolverAnswers) {
    constexpr RecordFlags dir = RecordFlags::isDirectory;
    IndexBuilder b;
    const auto root = b.addEntry("", FileRecord::rootParentID, dir, 0);
    const auto home = b.addEntry("home", root, dir, 0);
    b.addEntry("a.txt", home, {}, 0);
    b.addEntry("\xFF\xFEraw", home, {}, 0);
    const auto relative = b.addEntry("relative", FileRecord::rootParentID, dir, 0);
    b.addEntry("inside", relative, {}, 0);
    // A chain that passes the path length limit part of the way down.
    std::uint32_t deep = home;
    std::uint32_t shallow = home;
    for (int i = 0; i < 25; ++i) {
        deep = b.addEntry(std::string(200, static_cast<char>('a' + i)), deep, dir, 0);
        if (i == 10) shallow = deep;
    }
    const auto leaf = b.addEntry("leaf", deep, {}, 0);
    // A cycle: two folders that are each other's parent, and a file inside.
    const auto x = b.addEntry("x", root, dir, 0);
    const auto y = b.addEntry("y", x, dir, 0);
    b.records[x].parentID = y;
    b.addEntry("in-cycle", y, {}, 0);

    test::TempDir dir_;
    IndexWriter::write(b, {}, dir_ / "index.bin");
    const auto store = IndexStore::open(dir_ / "index.bin");
    const PathResolver resolver(*store);
    const auto count = static_cast<std::uint32_t>(store->count());
    for (const std::size_t capacity : {std::size_t{1} << 16, std::size_t{2}}) {
        FolderPathCache cache(*store, capacity);
        // Leaves first, then everything again from the top: both orders fill the memory
        // differently.
        for (std::uint32_t id = count; id-- > 0;)
            EXPECT_EQ(cache.path(id), resolver.rawAbsolutePath(id)) << id << " cap " << capacity;
        for (std::uint32_t id = 0; id < count; ++id)
            EXPECT_EQ(cache.path(id), resolver.rawAbsolutePath(id)) << id << " cap " << capacity;
        EXPECT_EQ(cache.path(count), std::nullopt);
    }
    EXPECT_EQ(FolderPathCache(*store).path(relative + 1), "relative/inside");
    EXPECT_EQ(FolderPathCache(*store).path(root), "/");
    EXPECT_NE(FolderPathCache(*store).path(shallow), std::nullopt);
    EXPECT_EQ(FolderPathCache(*store).path(leaf), std::nullopt);
    EXPECT_EQ(FolderPathCache(*store).path(y + 1), std::nullopt);
}

} // namespace
} // namespace ulmaro
