#include "IndexFiles.h"
#include "UlmaroKit/Index/IndexError.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ulmaro {
namespace {

using namespace test;

class IndexStoreFile : public ::testing::Test {
protected:
    TempDir dir;
    std::filesystem::path path = dir / "index.bin";

    // A small tree: "/" ← home ← notes.txt (filled) and a name that is not UTF-8.
    void writeSample() {
        IndexBuilder b;
        b.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
        b.addEntry("home", 0, RecordFlags::isDirectory, 0);
        b.addEntry("notes.txt", 1, {}, 0);
        b.setAttributes(2, 512, 1700000000);
        b.addEntry("bad\xFF", 1, {}, 0);
        IndexWriter::write(b, std::vector<VolumeEntry>{{"uuid", "/", 9, true}}, path);
    }

    // The store's error for the file as `patch` leaves it, optionally re-sealed.
    std::optional<IndexError>
    openError(const std::function<void(std::vector<unsigned char>&)>& patch,
              bool resealed = false) {
        auto bytes = readBytes(path);
        patch(bytes);
        if (resealed) reseal(bytes);
        writeBytes(path, bytes);
        try {
            IndexStore store(path);
        } catch (const IndexError& e) {
            return e;
        }
        return std::nullopt;
    }
};

TEST_F(IndexStoreFile, ServesRecordsAndNamesInPlace) {
    writeSample();
    auto store = IndexStore::open(path);
    ASSERT_EQ(store->count(), 4u);
    EXPECT_EQ(store->header().volumes.at(0), (VolumeEntry{"uuid", "/", 9, true}));
    EXPECT_EQ(store->header().attrsCompleteness, AttrsCompleteness::partial);
    EXPECT_EQ((*store)[2].size, 512u);
    EXPECT_EQ((*store)[2].parentID, 1u);
    EXPECT_EQ(store->records() + 2, &(*store)[2]);
    EXPECT_EQ(store->nameBytes(2), "notes.txt");
    EXPECT_EQ(store->name(3), "bad\xEF\xBF\xBD");
    EXPECT_EQ(store->nameBytes(3), "bad\xFF");
    EXPECT_EQ(store->nameBlob(), "homenotes.txtbad\xFF");
    EXPECT_GE(store->nameBytes(1).data(), store->nameBlob().data()); // no copy
}

TEST_F(IndexStoreFile, LoadingAnswersWhyAFileCannotBeUsed) {
    EXPECT_EQ(loadIndex(path).reason, RebuildReason::missing());
    EXPECT_FALSE(loadIndex(path).isLoaded());
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
    EXPECT_EQ(loadIndex(dir / "dangling").reason, RebuildReason::missing());

    writeBytes(path, {});
    EXPECT_EQ(loadIndex(path).reason, RebuildReason::truncated());
    writeBytes(path, std::vector<unsigned char>(4095, 0));
    EXPECT_EQ(loadIndex(path).reason, RebuildReason::truncated());
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_EQ(loadIndex(path).reason, RebuildReason::truncated());
    std::filesystem::remove(path);

    writeSample();
    ASSERT_TRUE(loadIndex(path).isLoaded());
    if (::geteuid() != 0) { // root reads anything
        std::filesystem::permissions(path, std::filesystem::perms::none);
        EXPECT_EQ(loadIndex(path).reason, RebuildReason::truncated());
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }
}

TEST_F(IndexStoreFile, EachDamageComesOutAsItsCase) {
    struct Case {
        const char* what;
        std::function<void(std::vector<unsigned char>&)> patch;
        IndexError error;
        RebuildReason reason;
    } cases[] = {
        {"checksum changed", [](auto& b) { b[16] ^= 1; }, IndexError::checksumMismatch(),
         RebuildReason::corrupt()},
        {"a name byte changed", [](auto& b) { b.back() ^= 0x20; }, IndexError::checksumMismatch(),
         RebuildReason::corrupt()},
        {"one byte short", [](auto& b) { b.pop_back(); }, IndexError::truncated(),
         RebuildReason::truncated()},
        {"version 4", [](auto& b) { putAt<std::uint32_t>(b, 4, 4); },
         IndexError::versionMismatch(4, 5), RebuildReason::versionMismatch(4, 5)},
        {"wrong magic and version",
         [](auto& b) {
             b[0] = 'X';
             putAt<std::uint32_t>(b, 4, 9);
         },
         IndexError::badMagic(), RebuildReason::badMagic()},
        {"13 volumes", [](auto& b) { putAt<std::uint32_t>(b, 24, 13); },
         IndexError::tooManyVolumes(), RebuildReason::tooManyVolumes()},
        {"record count past the file", [](auto& b) { putAt<std::uint32_t>(b, 8, 0xFFFFFFFF); },
         IndexError::truncated(), RebuildReason::truncated()},
        {"blob length past the file", [](auto& b) { putAt<std::uint32_t>(b, 12, 0xFFFFFFFF); },
         IndexError::truncated(), RebuildReason::truncated()},
    };
    for (const auto& c : cases) {
        writeSample();
        EXPECT_EQ(openError(c.patch), c.error) << c.what;
        EXPECT_EQ(loadIndex(path).reason, c.reason) << c.what;
    }
}

TEST_F(IndexStoreFile, ExtraBytesAfterTheBlobAreIgnored) {
    writeSample();
    auto bytes = readBytes(path);
    bytes.insert(bytes.end(), {'z', 'z', 'z'});
    writeBytes(path, bytes);
    auto outcome = loadIndex(path);
    ASSERT_TRUE(outcome.isLoaded());
    EXPECT_EQ(outcome.store->nameBlob(), "homenotes.txtbad\xFF");
}

TEST_F(IndexStoreFile, BareHeaderLoadsEmpty) {
    IndexWriter::write(IndexBuilder{}, {}, path);
    auto outcome = loadIndex(path);
    ASSERT_TRUE(outcome.isLoaded());
    EXPECT_EQ(outcome.store->count(), 0u);
    EXPECT_TRUE(outcome.store->nameBlob().empty());
}

// Files carrying a valid checksum can still be hostile: every record is checked, whether it
// falls in the sweep's groups of four or in the remainder.
TEST_F(IndexStoreFile, RecordsPointingOutsideTheFileAreRefusedDespiteAValidChecksum) {
    constexpr std::uint32_t count = 9;
    IndexBuilder b;
    b.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    for (std::uint32_t i = 1; i < count; ++i)
        b.addEntry(std::to_string(10 + i), i - 1, {}, 0);
    IndexWriter::write(b, {}, path);
    const auto good = readBytes(path);
    const auto blobLength = getAt<std::uint32_t>(good, 12);

    struct Hostile {
        const char* what;
        std::function<void(std::vector<unsigned char>&, std::size_t at)> patch;
    } hostile[] = {
        {"parent equal to the count",
         [](auto& bytes, std::size_t at) { putAt<std::uint32_t>(bytes, at, count); }},
        {"parent 0xFFFFFFFE",
         [](auto& bytes, std::size_t at) { putAt<std::uint32_t>(bytes, at, 0xFFFFFFFE); }},
        {"name offset past the blob",
         [&](auto& bytes, std::size_t at) {
             putAt<std::uint32_t>(bytes, at + 4, blobLength);
             bytes[at + 20] = 1;
         }},
        {"name end past the blob",
         [&](auto& bytes, std::size_t at) {
             putAt<std::uint32_t>(bytes, at + 4, blobLength - 1);
             bytes[at + 20] = 2;
         }},
        {"name range wrapping 32 bits",
         [](auto& bytes, std::size_t at) {
             putAt<std::uint32_t>(bytes, at + 4, 0xFFFFFFFF);
             bytes[at + 20] = 255;
         }},
    };
    for (std::uint32_t id = 0; id < count; ++id) {
        for (const auto& h : hostile) {
            auto bytes = good;
            h.patch(bytes, recordOffset(id));
            reseal(bytes);
            writeBytes(path, bytes);
            EXPECT_EQ(loadIndex(path).reason, RebuildReason::corrupt())
                << h.what << ", record " << id;
        }
    }
    // The limits themselves are fine: no parent, and a name ending exactly at the blob's end.
    auto bytes = good;
    putAt<std::uint32_t>(bytes, recordOffset(8), FileRecord::rootParentID);
    putAt<std::uint32_t>(bytes, recordOffset(8) + 4, blobLength - 2);
    bytes[recordOffset(8) + 20] = 2;
    reseal(bytes);
    writeBytes(path, bytes);
    auto outcome = loadIndex(path);
    ASSERT_TRUE(outcome.isLoaded());
    EXPECT_EQ(outcome.store->nameBytes(8), "18");
}

// An index of many megabytes is faulted in by workers while the hash runs: the names read
// back are the file's, and damage anywhere in it, up to its last byte, is still caught.
TEST_F(IndexStoreFile, LargeIndexIsHashedWhileWorkersFaultItIn) {
    constexpr std::uint32_t count = 400000; // about 9.6 MB of records and 7 MB of names
    IndexBuilder b;
    b.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    for (std::uint32_t i = 1; i < count; ++i)
        b.addEntry("name-" + std::to_string(i) + ".txt", 0, {}, 0);
    IndexWriter::write(b, {}, path);
    {
        auto store = IndexStore::open(path);
        ASSERT_EQ(store->count(), count);
        EXPECT_EQ(store->nameBytes(count - 1), "name-399999.txt");
    }
    const auto good = readBytes(path);
    for (std::size_t at : {std::size_t{4096}, good.size() / 2, good.size() - 1}) {
        auto bytes = good;
        bytes[at] ^= 0x01;
        writeBytes(path, bytes);
        EXPECT_EQ(loadIndex(path).reason, RebuildReason::corrupt()) << "byte " << at;
    }
}

// Names laid out as the writer does (gaps allowed) are in record order; a name that starts
// before the previous one ends is not, wherever it falls: in the sweep's groups of four or
// in the remainder.
TEST_F(IndexStoreFile, TellsWhetherNamesLieInRecordOrder) {
    constexpr std::uint32_t count = 11;
    IndexBuilder b;
    for (std::uint32_t i = 0; i < count; ++i)
        b.addEntry(std::to_string(10 + i), FileRecord::rootParentID, {}, 0);
    auto orderOf = [&](const IndexBuilder& builder) {
        IndexWriter::write(builder, {}, path);
        return IndexStore::open(path)->namesInRecordOrder();
    };
    EXPECT_TRUE(orderOf(b));
    IndexBuilder gaps = b;
    gaps.nameBlob.push_back('-'); // a byte of no name before the last name
    gaps.nameBlob.back() = gaps.nameBlob[gaps.nameBlob.size() - 2];
    gaps.nameBlob[gaps.nameBlob.size() - 2] = gaps.nameBlob[gaps.nameBlob.size() - 3];
    gaps.nameBlob[gaps.nameBlob.size() - 3] = '-';
    gaps.records[count - 1].nameOffset += 1;
    EXPECT_TRUE(orderOf(gaps));
    for (std::uint32_t i = 1; i < count; ++i) {
        IndexBuilder overlap = b;
        overlap.records[i].nameOffset -= 1; // starts on the previous name's last byte
        EXPECT_FALSE(orderOf(overlap)) << "record " << i;
    }
    IndexBuilder reversed = b;
    std::swap(reversed.records[0].nameOffset, reversed.records[count - 1].nameOffset);
    EXPECT_FALSE(orderOf(reversed));
}

} // namespace
} // namespace ulmaro
