#include "IndexFiles.h"
#include "UlmaroKit/Index/IndexError.h"
#include "UlmaroKit/Index/IndexHeader.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Index/RecordFlags.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>

namespace ulmaro {
namespace {

using namespace test;

IndexError decodeError(const std::vector<unsigned char>& bytes) {
    try {
        IndexHeader::decode(bytes);
    } catch (const IndexError& e) {
        return e;
    }
    ADD_FAILURE() << "decoded";
    return IndexError::truncated();
}

std::vector<unsigned char> encoded(const IndexHeader& header) {
    auto array = header.encode();
    return {array.begin(), array.end()};
}

TEST(IndexFormat, WriterPutsEveryFieldAtItsOffset) {
    TempDir dir;
    IndexBuilder builder;
    builder.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    builder.addEntry("Users", 0, RecordFlags::isDirectory | RecordFlags::isHidden, 1);
    builder.setAttributes(1, 0x1122334455667788ull, 0xA1B2C3D4);
    std::vector<VolumeEntry> volumes{{"UUID-A", "/", 0x0102030405060708ull, true},
                                     {"UUID-B", "/media/usb", 42, false}};
    IndexWriter::write(builder, volumes, dir / "index.bin");
    auto b = readBytes(dir / "index.bin");

    ASSERT_EQ(b.size(), 4096u + 2 * 24 + 5);
    EXPECT_EQ((std::vector<unsigned char>(b.begin(), b.begin() + 4)),
              (std::vector<unsigned char>{0x31, 0x52, 0x55, 0x4C}));
    EXPECT_EQ(getAt<std::uint32_t>(b, 4), 5u);
    EXPECT_EQ(getAt<std::uint32_t>(b, 8), 2u);
    EXPECT_EQ(getAt<std::uint32_t>(b, 12), 5u);
    EXPECT_EQ(getAt<std::uint64_t>(b, 16), FastHash64::hash(b.data() + 4096, 2 * 24 + 5));
    EXPECT_EQ(getAt<std::uint32_t>(b, 24), 2u);
    EXPECT_EQ(b[28], 1); // partial: one of two records has attributes
    // Volume slots at 32 + 312 i: uuid, mountPath, lastEventID, isAvailable.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[32])), "UUID-A");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[32 + 40])), "/");
    EXPECT_EQ(getAt<std::uint64_t>(b, 32 + 296), 0x0102030405060708ull);
    EXPECT_EQ(b[32 + 304], 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[344])), "UUID-B");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[344 + 40])), "/media/usb");
    EXPECT_EQ(getAt<std::uint64_t>(b, 344 + 296), 42u);
    EXPECT_EQ(b[344 + 304], 0);
    // Everything not a field is zero: pads, unused parts of fields, empty slots, the tail.
    std::vector<bool> field(4096, false);
    auto mark = [&](std::size_t at, std::size_t n) {
        for (std::size_t i = at; i < at + n; ++i)
            field[i] = true;
    };
    mark(0, 29);
    mark(32, 7);
    mark(72, 2);
    mark(328, 9);
    mark(344, 7);
    mark(384, 11);
    mark(640, 9);
    for (std::size_t i = 0; i < 4096; ++i)
        if (!field[i]) {
            ASSERT_EQ(b[i], 0) << "header byte " << i;
        }

    std::size_t r = recordOffset(1);
    EXPECT_EQ(getAt<std::uint32_t>(b, r + 0), 0u);                    // parentID
    EXPECT_EQ(getAt<std::uint32_t>(b, r + 4), 0u);                    // nameOffset
    EXPECT_EQ(getAt<std::uint64_t>(b, r + 8), 0x1122334455667788ull); // size
    EXPECT_EQ(getAt<std::uint32_t>(b, r + 16), 0xA1B2C3D4u);          // mtime
    EXPECT_EQ(b[r + 20], 5);                                          // nameLen
    EXPECT_EQ(b[r + 21], 0x01 | 0x08 | 0x20);                         // flags
    EXPECT_EQ(b[r + 22], 1);                                          // volumeIndex
    EXPECT_EQ(b[r + 23], 0);                                          // reserved
    EXPECT_EQ(getAt<std::uint32_t>(b, recordOffset(0)), 0xFFFFFFFFu);
    EXPECT_EQ(std::string(b.end() - 5, b.end()), "Users");
}

TEST(IndexFormat, FixedTextFieldsAreCutAtAByteCount) {
    auto aThen = [](std::string_view end) { return std::string(254, 'a').append(end); };
    struct Case {
        std::string path;
        std::string readBack;
    } cases[] = {
        {std::string(255, 'a'), std::string(255, 'a')},
        {std::string(256, 'a'), std::string(255, 'a')},
        {aThen("\xC3\xA9"), aThen("\xEF\xBF\xBD")}, // é straddles the limit
    };
    for (const auto& c : cases) {
        IndexHeader header{.volumes = {{std::string(40, 'u'), c.path, 0, true}}};
        auto bytes = encoded(header);
        EXPECT_EQ(bytes[32 + 40 + 255], 0);
        auto back = IndexHeader::decode(bytes);
        EXPECT_EQ(back.volumes.at(0).mountPath, c.readBack);
        EXPECT_EQ(back.volumes.at(0).uuid, std::string(39, 'u'));
    }
}

TEST(IndexFormat, DecodesWhatItEncodes) {
    IndexHeader header{.recordCount = 7,
                       .nameBlobLength = 99,
                       .checksum = 0xFEDCBA9876543210ull,
                       .volumes = {{"u1", "/", 5, true}, {"u2", "/mnt/x", 6, false}},
                       .attrsCompleteness = AttrsCompleteness::complete};
    EXPECT_EQ(IndexHeader::decode(encoded(header)), header);
}

TEST(IndexFormat, DecodingRefusesDamagedHeadersInOrder) {
    auto good = encoded(IndexHeader{});
    auto with = [&](auto patch) {
        auto b = good;
        patch(b);
        return b;
    };
    EXPECT_EQ(decodeError(std::vector<unsigned char>(good.begin(), good.end() - 1)),
              IndexError::truncated());
    EXPECT_EQ(decodeError({}), IndexError::truncated());
    EXPECT_EQ(decodeError(with([](auto& b) {
                  putAt<std::uint32_t>(b, 0, 0x4C555232);
                  putAt<std::uint32_t>(b, 4, 4);
              })),
              IndexError::badMagic());
    for (std::uint32_t version : {4u, 6u})
        EXPECT_EQ(decodeError(with([&](auto& b) { putAt<std::uint32_t>(b, 4, version); })),
                  IndexError::versionMismatch(version, 5));
    EXPECT_EQ(decodeError(with([](auto& b) { putAt<std::uint32_t>(b, 24, 13); })),
              IndexError::tooManyVolumes());
    EXPECT_NE(IndexError::versionMismatch(4, 5), IndexError::versionMismatch(6, 5));
}

TEST(IndexFormat, DecodingIsLenientWhereTheFormatAllows) {
    auto b = encoded(IndexHeader{});
    putAt<std::uint32_t>(b, 24, 12); // twelve empty slots
    EXPECT_EQ(IndexHeader::decode(b).volumes.size(), 12u);

    putAt<std::uint32_t>(b, 24, 1);
    std::memset(&b[32], 'x', 40); // a uuid with no 0 byte is read whole
    b[32 + 304] = 2;              // only 1 is available
    for (unsigned char completeness : {3, 255}) {
        b[28] = completeness;
        auto header = IndexHeader::decode(b);
        EXPECT_EQ(header.attrsCompleteness, AttrsCompleteness::none);
        EXPECT_EQ(header.volumes.at(0).uuid, std::string(40, 'x'));
        EXPECT_FALSE(header.volumes.at(0).isAvailable);
    }
}

TEST(IndexFormat, EncodingKeepsTwelveVolumesAndTheCheckedFormRefusesMore) {
    IndexHeader header;
    for (int i = 0; i < 13; ++i)
        header.volumes.push_back({std::to_string(100 + i), "/", 0, true});
    auto b = encoded(header);
    EXPECT_EQ(getAt<std::uint32_t>(b, 24), 12u);
    EXPECT_EQ(IndexHeader::decode(b).volumes.back().uuid, "111");
    EXPECT_THROW(header.encodeChecked(), IndexError);
    header.volumes.pop_back();
    EXPECT_EQ(header.encodeChecked(), header.encode());
}

TEST(RecordFlags, SetOperationsOnTheRawByte) {
    RecordFlags dirHidden = RecordFlags::isDirectory | RecordFlags::isHidden;
    EXPECT_EQ(dirHidden.rawValue, 0x09);
    EXPECT_TRUE(dirHidden.contains(RecordFlags::isHidden));
    EXPECT_FALSE(dirHidden.contains(RecordFlags::isHidden | RecordFlags::deleted));
    EXPECT_EQ((dirHidden & RecordFlags::isHidden), RecordFlags::isHidden);
    EXPECT_EQ((dirHidden ^ RecordFlags::isDirectory), RecordFlags::isHidden);
    EXPECT_TRUE(RecordFlags::isHidden.isSubset(dirHidden));
    EXPECT_TRUE(dirHidden.isSuperset(RecordFlags::isDirectory));
    EXPECT_TRUE(dirHidden.isDisjoint(RecordFlags::isApp | RecordFlags::attrsFilled));
    RecordFlags f;
    EXPECT_TRUE(f.isEmpty());
    f.insert(RecordFlags::deleted);
    f.insert(RecordFlags::isSymlink);
    f.remove(RecordFlags::deleted);
    EXPECT_EQ(f, RecordFlags::isSymlink);
}

} // namespace
} // namespace ulmaro
