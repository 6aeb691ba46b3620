#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Index/PathResolver.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

constexpr std::uint32_t noParent = FileRecord::rootParentID;

class PathResolverTest : public ::testing::Test {
protected:
    test::TempDir dir;
    IndexBuilder builder;
    std::shared_ptr<const IndexStore> store;

    PathResolver resolve() {
        IndexWriter::write(builder, {}, dir / "index.bin");
        store = IndexStore::open(dir / "index.bin");
        return PathResolver(*store);
    }
    // A chain of `depth` records named `name` below `parent`; returns the deepest.
    std::uint32_t chain(std::uint32_t parent, std::size_t depth, std::string_view name) {
        for (std::size_t i = 0; i < depth; ++i)
            parent = builder.addEntry(name, parent, {}, 0);
        return parent;
    }
};

TEST_F(PathResolverTest, ResolvesFromTheRootAndFromNamedTopmostRecords) {
    auto root = builder.addEntry("", noParent, RecordFlags::isDirectory, 0);
    auto apps = builder.addEntry("Applications", root, RecordFlags::isDirectory, 0);
    auto file = builder.addEntry("a.txt", apps, {}, 0);
    auto tmp = builder.addEntry("tmp", noParent, {}, 0);
    auto inTmp = builder.addEntry("x", tmp, {}, 0);
    auto odd = builder.addEntry("caf\xC3", apps, {}, 0); // cut inside a character
    auto r = resolve();

    struct Case {
        std::uint32_t id;
        std::string path, parent;
    } cases[] = {
        {root, "/", "/"},
        {apps, "/Applications", "/"},
        {file, "/Applications/a.txt", "/Applications"},
        {tmp, "tmp", "/"},
        {inTmp, "tmp/x", "tmp"},
        {odd, "/Applications/caf\xEF\xBF\xBD", "/Applications"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(r.absolutePath(c.id), c.path) << c.id;
        EXPECT_EQ(r.parentPath(c.id), c.parent) << c.id;
        EXPECT_FALSE(r.containsCycle(c.id)) << c.id;
    }
    EXPECT_EQ(r.rawAbsolutePath(odd), "/Applications/caf\xC3");
    EXPECT_EQ(r.absolutePath(99), std::nullopt);
}

TEST_F(PathResolverTest, DeepChainsResolveInFullUpToThePathLimit) {
    auto root = builder.addEntry("", noParent, RecordFlags::isDirectory, 0);
    auto deep = chain(root, 300, "d"); // 300 levels: far beyond 256 names, 600 bytes
    // 2046 levels of "/x" make 4092 bytes; PATH_MAX leaves room for 4095 and the final 0.
    auto x = chain(root, 2046, "x");
    auto atLimit = builder.addEntry("yz", x, {}, 0);
    auto pastLimit = builder.addEntry("yzw", x, {}, 0);
    auto r = resolve();

    std::string expected;
    for (int i = 0; i < 300; ++i)
        expected += "/d";
    EXPECT_EQ(r.absolutePath(deep), expected);
    EXPECT_FALSE(r.containsCycle(deep));

    ASSERT_TRUE(r.rawAbsolutePath(atLimit));
    EXPECT_EQ(r.rawAbsolutePath(atLimit)->size(), 4095u);
    EXPECT_TRUE(r.rawAbsolutePath(atLimit)->ends_with("/x/yz"));
    EXPECT_FALSE(r.containsCycle(atLimit));
    // One byte more: no path (never a fragment), and it counts as a cycle.
    EXPECT_EQ(r.absolutePath(pastLimit), std::nullopt);
    EXPECT_EQ(r.rawAbsolutePath(pastLimit), std::nullopt);
    EXPECT_TRUE(r.containsCycle(pastLimit));
    EXPECT_EQ(r.parentPath(pastLimit)->size(), 4092u);
}

TEST_F(PathResolverTest, CyclesHaveNoPath) {
    // Records that are each other's parent, as a hostile or damaged file may hold them; and
    // empty names in a loop, which add only separators.
    builder.addEntry("a", 1, {}, 0);
    builder.addEntry("b", 0, {}, 0);
    builder.addEntry("", 3, {}, 0);
    builder.addEntry("", 2, {}, 0);
    auto below = builder.addEntry("c", 0, {}, 0);
    auto r = resolve();
    for (std::uint32_t id : {0u, 1u, 2u, 3u, below}) {
        EXPECT_EQ(r.absolutePath(id), std::nullopt) << id;
        EXPECT_TRUE(r.containsCycle(id)) << id;
    }
    EXPECT_EQ(r.parentPath(below), std::nullopt);
}

} // namespace
} // namespace ulmaro
