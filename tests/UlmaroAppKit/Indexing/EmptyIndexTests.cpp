#include "UlmaroAppKit/Indexing/EmptyIndex.h"
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;

TEST(EmptyIndex, LivesBesideTheMainIndex) {
    EXPECT_EQ(EmptyIndex::path("/data/Ulmaro/index.bin"), "/data/Ulmaro/index.bin.empty");
}

TEST(EmptyIndex, WrittenWhenMissingAndReusedWhileEmpty) {
    test::TempDir dir;
    const fs::path path = EmptyIndex::path(dir / "index.bin");
    auto first = EmptyIndex::store(path);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->count(), 0u);
    EXPECT_TRUE(first->header().volumes.empty());

    const auto written = fs::last_write_time(path);
    const auto inode = fs::hard_link_count(path);
    auto second = EmptyIndex::store(path);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->count(), 0u);
    EXPECT_EQ(fs::last_write_time(path), written);
    EXPECT_EQ(fs::hard_link_count(path), inode);
}

TEST(EmptyIndex, RewrittenWhenItHoldsRecordsOrIsDamaged) {
    test::TempDir dir;
    const fs::path path = EmptyIndex::path(dir / "index.bin");
    IndexBuilder builder;
    builder.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    IndexWriter::write(builder, {}, path);
    ASSERT_EQ(IndexStore::open(path)->count(), 1u);
    auto store = EmptyIndex::store(path);
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->count(), 0u);

    std::ofstream(path, std::ios::trunc) << "not an index";
    store = EmptyIndex::store(path);
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->count(), 0u);
}

TEST(EmptyIndex, NoneWhenItCannotBeWritten) {
    test::TempDir dir;
    std::ofstream(dir / "file");
    EXPECT_EQ(EmptyIndex::store(dir / "file" / "index.bin.empty"), nullptr);
}

} // namespace
} // namespace ulmaro
