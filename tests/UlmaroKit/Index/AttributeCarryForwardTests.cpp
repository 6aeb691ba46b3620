#include "UlmaroKit/Index/AttributeCarryForward.h"
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <map>

namespace ulmaro {
namespace {

using test::TempDir;
constexpr auto folderFlags = RecordFlags::isDirectory;
constexpr auto fileFlags = RecordFlags{};

// Builds a tree from paths like "/a/b"; every path's parent must have been added before.
struct Tree {
    IndexBuilder builder;
    std::map<std::string, std::uint32_t> ids;

    Tree() { ids[""] = builder.addEntry("", FileRecord::rootParentID, folderFlags, 0); }

    std::uint32_t add(const std::string& path, RecordFlags flags) {
        auto slash = path.rfind('/');
        std::uint32_t id =
            builder.addEntry(path.substr(slash + 1), ids.at(path.substr(0, slash)), flags, 0);
        ids[path] = id;
        return id;
    }
    std::uint32_t add(const std::string& path, RecordFlags flags, std::uint64_t size) {
        std::uint32_t id = add(path, flags);
        builder.setAttributes(id, size, static_cast<std::uint32_t>(size + 1000));
        return id;
    }
    const FileRecord& operator[](const std::string& path) const {
        return builder.records[ids.at(path)];
    }
};

std::shared_ptr<const IndexStore> storeOf(const TempDir& tmp, const IndexBuilder& builder) {
    IndexWriter::write(builder, {}, tmp / "old.bin");
    return IndexStore::open(tmp / "old.bin");
}

TEST(AttributeCarryForward, PairsRecordsByTheirWholePath) {
    TempDir tmp;
    Tree old;
    old.add("/docs", folderFlags, 1);
    old.add("/docs/a.txt", fileFlags, 10);
    old.add("/docs/renamed-before.txt", fileFlags, 11);
    old.add("/photos", folderFlags, 2);
    old.add("/photos/p.jpg", fileFlags, 12);
    old.add("/switch", folderFlags, 3);
    old.add("/switch/inner", fileFlags, 13);
    old.add("/twice", fileFlags, 14);
    old.add("/twice", fileFlags, 15); // the later of two old siblings wins
    old.add("/plain", fileFlags);     // known, but without attributes

    Tree now;
    now.add("/docs", folderFlags);
    now.add("/docs/a.txt", fileFlags, 99); // already filled: overwritten
    now.add("/docs/renamed-after.txt", fileFlags);
    now.add("/docs/new.txt", fileFlags);
    now.add("/pictures", folderFlags); // the folder got another name
    now.add("/pictures/p.jpg", fileFlags);
    now.add("/switch", fileFlags); // a folder became a file: the file gets the old attributes
    now.add("/twice", fileFlags);
    now.add("/plain", fileFlags);

    auto store = storeOf(tmp, old.builder);
    EXPECT_EQ(AttributeCarryForward::carry(*store, now.builder), 4);

    auto attrs = [&](const std::string& p) {
        const FileRecord& r = now[p];
        return r.flags.contains(RecordFlags::attrsFilled) ? std::optional(r.size) : std::nullopt;
    };
    EXPECT_EQ(attrs("/docs"), 1u);
    EXPECT_EQ(now["/docs"].mtime, 1001u);
    EXPECT_EQ(attrs("/docs/a.txt"), 10u);
    EXPECT_EQ(attrs("/switch"), 3u);
    EXPECT_EQ(attrs("/twice"), 15u);
    for (const char* p :
         {"", "/docs/renamed-after.txt", "/docs/new.txt", "/pictures", "/pictures/p.jpg", "/plain"})
        EXPECT_EQ(attrs(p), std::nullopt) << p;
    EXPECT_EQ(now["/docs"].flags, folderFlags | RecordFlags::attrsFilled);
}

TEST(AttributeCarryForward, ComparesNamesAsExactBytes) {
    // Siblings that decode to the same text, or differ only in normalisation, are
    // different files on Linux and must not trade attributes.
    const std::string names[] = {"caf\xc3\xa9", "cafe\xcc\x81", "a\xff", "a\xfe", "A", "a"};
    TempDir tmp;
    Tree old;
    for (std::size_t i = 0; i < std::size(names); ++i)
        old.add("/" + names[i], fileFlags, i + 1);
    // Enough siblings to take the hashed path as well as the short one.
    Tree big = old;
    for (int i = 0; i < 40; ++i)
        big.add("/f" + std::to_string(i), fileFlags, 100 + i);

    for (Tree* source : {&old, &big}) {
        Tree now;
        for (std::size_t i = std::size(names); i-- > 0;)
            now.add("/" + names[i], fileFlags);
        auto store = storeOf(tmp, source->builder);
        EXPECT_EQ(AttributeCarryForward::carry(*store, now.builder), 6);
        for (std::size_t i = 0; i < std::size(names); ++i)
            EXPECT_EQ(now["/" + names[i]].size, i + 1) << i;
    }
}

TEST(AttributeCarryForward, LargeUnchangedFolderCarriesEverything) {
    TempDir tmp;
    Tree old, now;
    old.add("/big", folderFlags, 7);
    now.add("/big", folderFlags);
    for (int i = 0; i < 500; ++i)
        old.add("/big/n" + std::to_string(i), fileFlags, i);
    for (int i = 500; i-- > 0;)
        now.add("/big/n" + std::to_string(i), fileFlags);
    now.add("/big/extra", fileFlags);
    auto store = storeOf(tmp, old.builder);
    EXPECT_EQ(AttributeCarryForward::carry(*store, now.builder), 501);
    for (int i = 0; i < 500; ++i)
        EXPECT_EQ(now["/big/n" + std::to_string(i)].size, unsigned(i));
    EXPECT_FALSE(now["/big/extra"].flags.contains(RecordFlags::attrsFilled));
}

TEST(AttributeCarryForward, EmptySidesCarryNothing) {
    TempDir tmp;
    Tree old;
    old.add("/a", fileFlags, 1);
    IndexBuilder empty;
    auto full = storeOf(tmp, old.builder);
    EXPECT_EQ(AttributeCarryForward::carry(*full, empty), 0);

    auto none = storeOf(tmp, IndexBuilder());
    Tree now;
    now.add("/a", fileFlags);
    EXPECT_EQ(AttributeCarryForward::carry(*none, now.builder), 0);
    EXPECT_EQ(now["/a"].flags, fileFlags);
}

TEST(AttributeCarryForward, ChildListsSkipOrphansAndOptionallyDeleted) {
    std::vector<FileRecord> records(4);
    records[1].parentID = 0;
    records[2].parentID = 0;
    records[2].flags = RecordFlags::deleted;
    records[3].parentID = 4000; // outside: nobody's child
    auto all = AttributeCarryForward::CSR::build(records);
    EXPECT_EQ(all.offsets, (std::vector<std::uint32_t>{0, 2, 2, 2, 2}));
    EXPECT_EQ(std::vector(all.ids(0).begin(), all.ids(0).end()),
              (std::vector<std::uint32_t>{1, 2}));
    EXPECT_TRUE(all.ids(3).empty());
    EXPECT_TRUE(all.ids(FileRecord::rootParentID).empty());
    auto live = AttributeCarryForward::CSR::build(records, true);
    EXPECT_EQ(live.childIDs, (std::vector<std::uint32_t>{1}));
}

} // namespace
} // namespace ulmaro
