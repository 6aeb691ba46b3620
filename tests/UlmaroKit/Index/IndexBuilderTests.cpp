#include "IndexFiles.h"
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexError.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>

namespace ulmaro {
namespace {

using namespace test;
using ::testing::ElementsAre;

TEST(IndexBuilder, StoresNamesCutAtTheByteLimit) {
    struct Case {
        std::string name;
        std::size_t storedLength;
        std::string readBack;
    } cases[] = {
        {std::string(300, 'x'), 255, std::string(255, 'x')},
        {std::string(255, 'y'), 255, std::string(255, 'y')},
        {"", 0, ""},
        // é straddles bytes 255 and 256: only its first byte is kept.
        {std::string(254, 'z').append("\xC3\xA9"), 255,
         std::string(254, 'z').append("\xEF\xBF\xBD")},
    };
    IndexBuilder builder;
    builder.addEntry("abc", FileRecord::rootParentID, {}, 0);
    for (const auto& c : cases) {
        std::size_t blobBefore = builder.nameBlob.size();
        std::uint32_t id = builder.addEntry(c.name, 0, RecordFlags::isHidden, 3);
        const FileRecord& r = builder.records[id];
        EXPECT_EQ(r.nameLen, c.storedLength);
        EXPECT_EQ(r.nameOffset, blobBefore);
        EXPECT_EQ(builder.nameBlob.size(), blobBefore + c.storedLength);
        EXPECT_EQ(builder.name(id), c.readBack);
        EXPECT_EQ(builder.nameBytes(id).size(), c.storedLength);
        EXPECT_EQ(r, (FileRecord{.parentID = 0,
                                 .nameOffset = static_cast<std::uint32_t>(blobBefore),
                                 .nameLen = static_cast<std::uint8_t>(c.storedLength),
                                 .flags = RecordFlags::isHidden,
                                 .volumeIndex = 3}));
    }
    EXPECT_EQ(builder.count(), 5u);
}

TEST(IndexBuilder, SetAttributesKeepsTheOtherFlags) {
    IndexBuilder builder;
    auto id = builder.addEntry("a", FileRecord::rootParentID, RecordFlags::isSymlink, 0);
    builder.setAttributes(id, 10, 20);
    builder.setAttributes(id, 11, 21);
    EXPECT_EQ(builder.records[id].size, 11u);
    EXPECT_EQ(builder.records[id].mtime, 21u);
    EXPECT_EQ(builder.records[id].flags, RecordFlags::isSymlink | RecordFlags::attrsFilled);
    EXPECT_THROW(builder.setAttributes(5, 1, 1), std::out_of_range);
}

TEST(IndexBuilder, MergeAppendsAndAttachesRoots) {
    IndexBuilder into;
    for (int i = 0; i < 10; ++i)
        into.addEntry("n", FileRecord::rootParentID, {}, 0);
    IndexBuilder other;
    other.addEntry("top", FileRecord::rootParentID, RecordFlags::isDirectory, 2);
    other.addEntry("mid", 0, RecordFlags::isDirectory, 2);
    other.addEntry("leaf", 1, {}, 2);
    other.setAttributes(2, 5, 6);

    EXPECT_THAT(into.merge(other, 4), ElementsAre(10, 11, 12));
    EXPECT_EQ(into.count(), 13u);
    EXPECT_EQ(into.records[10].parentID, 4u);
    EXPECT_EQ(into.records[11].parentID, 10u);
    EXPECT_EQ(into.records[12].parentID, 11u);
    EXPECT_EQ(into.name(10), "top");
    EXPECT_EQ(into.name(12), "leaf");
    EXPECT_EQ(into.records[12].size, 5u);
    EXPECT_EQ(into.records[12].volumeIndex, 2);

    auto before = into.records;
    EXPECT_TRUE(into.merge(IndexBuilder{}, 0).empty());
    EXPECT_EQ(into.records, before);

    EXPECT_THAT(other.merge(other, 0), ElementsAre(3, 4, 5)); // merging into itself
    EXPECT_EQ(other.name(5), "leaf");
    EXPECT_EQ(other.records[4].parentID, 3u);
}

TEST(IndexBuilder, CountsPastTheFormatsFieldsAreRefused) {
    EXPECT_NO_THROW(checkIndexLimits(0xFFFFFFFFull, 0xFFFFFFFFull));
    EXPECT_THROW(checkIndexLimits(0x100000000ull, 0), std::length_error);
    EXPECT_THROW(checkIndexLimits(0, 0x100000000ull), std::length_error);
}

class IndexFile : public ::testing::Test {
protected:
    TempDir dir;
    std::filesystem::path path = dir / "index.bin";
};

TEST_F(IndexFile, CopyVolumeTakesOneVolumeUnderCopiedParents) {
    IndexBuilder source;
    auto root = source.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    auto media = source.addEntry("media", root, RecordFlags::isDirectory, 0);
    auto usb = source.addEntry("usb", media, RecordFlags::isDirectory, 1); // topmost of volume 1
    auto kept = source.addEntry("kept", usb, RecordFlags::deleted, 1);
    source.setAttributes(kept, 1234, 99);
    auto plain = source.addEntry("plain", usb, {}, 1);
    source.records[plain].size = 77; // not filled: not carried over
    auto other = source.addEntry("other", FileRecord::rootParentID, {}, 2);
    source.addEntry("under-other", other, {}, 2);
    source.addEntry("orphan", media, {}, 2); // parent on volume 0
    IndexWriter::write(source, {}, path);
    auto store = IndexStore::open(path);

    IndexBuilder copy;
    copy.addEntry("existing", FileRecord::rootParentID, {}, 0);
    EXPECT_EQ(copy.copyVolume(*store, 1, 7), std::nullopt); // its topmost has a foreign parent
    EXPECT_EQ(copy.count(), 1u);

    EXPECT_EQ(copy.copyVolume(*store, 2, 5), 1u);
    ASSERT_EQ(copy.count(), 3u); // "orphan" and everything below it stay behind
    EXPECT_EQ(copy.records[1].parentID, FileRecord::rootParentID);
    EXPECT_EQ(copy.records[2].parentID, 1u);
    EXPECT_EQ(copy.name(2), "under-other");
    EXPECT_EQ(copy.records[2].volumeIndex, 5);

    IndexBuilder whole;
    EXPECT_EQ(whole.copyVolume(*store, 0, 0), 0u);
    source.records[usb].volumeIndex = 0;
    IndexWriter::write(source, {}, path);
    store = IndexStore::open(path);
    IndexBuilder withVolume1;
    EXPECT_EQ(withVolume1.copyVolume(*store, 1, 1), std::nullopt);
    source.records[usb].volumeIndex = 1;
    source.records[usb].parentID = FileRecord::rootParentID;
    IndexWriter::write(source, {}, path);
    store = IndexStore::open(path);
    EXPECT_EQ(withVolume1.copyVolume(*store, 1, 1), 0u);
    ASSERT_EQ(withVolume1.count(), 3u);
    EXPECT_EQ(withVolume1.records[1].flags, RecordFlags::deleted | RecordFlags::attrsFilled);
    EXPECT_EQ(withVolume1.records[1].size, 1234u);
    EXPECT_EQ(withVolume1.records[1].mtime, 99u);
    EXPECT_EQ(withVolume1.records[2].size, 0u);
    EXPECT_EQ(withVolume1.name(2), "plain");

    IndexWriter::write(IndexBuilder{}, {}, path);
    EXPECT_EQ(IndexBuilder{}.copyVolume(*IndexStore::open(path), 0, 0), std::nullopt);
}

TEST_F(IndexFile, EmptyBuilderGivesABareHeader) {
    IndexWriter::write(IndexBuilder{}, {}, path);
    auto b = readBytes(path);
    ASSERT_EQ(b.size(), 4096u);
    EXPECT_EQ(getAt<std::uint32_t>(b, 8), 0u);
    EXPECT_EQ(getAt<std::uint32_t>(b, 12), 0u);
    EXPECT_EQ(getAt<std::uint64_t>(b, 16), 0x8E4B63091ED84BCDull);
    EXPECT_EQ(b[28], 0);
}

TEST_F(IndexFile, CompletenessCountsFilledRecords) {
    IndexBuilder builder;
    builder.addEntry("a", FileRecord::rootParentID, {}, 0);
    builder.addEntry("b", 0, {}, 0);
    auto completeness = [&] {
        IndexWriter::write(builder, {}, path);
        return IndexStore::open(path)->header().attrsCompleteness;
    };
    EXPECT_EQ(completeness(), AttrsCompleteness::none);
    builder.setAttributes(1, 1, 1);
    EXPECT_EQ(completeness(), AttrsCompleteness::partial);
    builder.setAttributes(0, 1, 1);
    EXPECT_EQ(completeness(), AttrsCompleteness::complete);
}

TEST_F(IndexFile, CreatesMissingFoldersAndReplacesExistingFiles) {
    auto deep = dir / "a" / "b" / "index.bin";
    IndexBuilder builder;
    builder.addEntry("first", FileRecord::rootParentID, {}, 0);
    IndexWriter::write(builder, {}, deep);
    auto firstStore = IndexStore::open(deep);

    IndexBuilder second;
    second.addEntry("second", FileRecord::rootParentID, {}, 0);
    IndexWriter::write(second, {}, deep);
    EXPECT_EQ(IndexStore::open(deep)->name(0), "second");
    EXPECT_EQ(firstStore->name(0), "first"); // the old mapping still reads the old file
    EXPECT_FALSE(std::filesystem::exists(dir / "a" / "b" / "index.bin.tmp"));
}

TEST_F(IndexFile, AFailedWriteLeavesNoTemporaryAndTheDestinationAsItWas) {
    IndexBuilder old;
    old.addEntry("old", FileRecord::rootParentID, {}, 0);
    IndexWriter::write(old, {}, path);
    const auto before = readBytes(path);

    std::vector<VolumeEntry> thirteen(13, VolumeEntry{"u", "/", 0, true});
    try {
        IndexWriter::write(IndexBuilder{}, thirteen, path);
        ADD_FAILURE() << "wrote 13 volumes";
    } catch (const IndexError& e) {
        EXPECT_EQ(e, IndexError::tooManyVolumes());
    }
    EXPECT_EQ(readBytes(path), before);
    EXPECT_FALSE(std::filesystem::exists(dir / "index.bin.tmp"));

    // The replace itself fails: a folder sits at the destination.
    std::filesystem::create_directory(dir / "folder");
    std::filesystem::create_directory(dir / "folder" / "inside");
    EXPECT_THROW(IndexWriter::write(old, {}, dir / "folder"), std::system_error);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder" / "inside"));
    EXPECT_FALSE(std::filesystem::exists(dir / "folder.tmp"));
}

} // namespace
} // namespace ulmaro
