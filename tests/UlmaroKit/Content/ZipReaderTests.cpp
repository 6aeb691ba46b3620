#include "UlmaroKit/Content/ZipBuilder.h"
#include "UlmaroKit/Content/ZipReader.h"
#include "support/TempDir.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace ulmaro {
namespace {

using test::TempDir;
using test::ZipBuilder;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

auto acceptAll = [](std::string_view) { return true; };

std::vector<ZipReader::Entry>
read(const std::string& archive,
     const std::function<bool(std::string_view)>& matching = acceptAll) {
    auto bytes = reinterpret_cast<const unsigned char*>(archive.data());
    return ZipReader::entries(std::span(bytes, archive.size()), matching);
}

std::vector<std::string> names(const std::vector<ZipReader::Entry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries)
        out.push_back(e.name);
    return out;
}

TEST(ZipReader, ReadsStoredAndDeflatedEntriesInDirectoryOrder) {
    std::string big(100000, 'x');
    auto archive = ZipBuilder()
                       .add("word/document.xml", "<w:t>hello</w:t>", 8)
                       .add("stored.txt", "as it stands", 0)
                       .add("empty-stored", "", 0)
                       .add("big.xml", big, 8)
                       .reverseData()
                       .bytes();
    auto entries = read(archive);
    EXPECT_THAT(entries, ElementsAre(ZipReader::Entry{"word/document.xml", "<w:t>hello</w:t>"},
                                     ZipReader::Entry{"stored.txt", "as it stands"},
                                     ZipReader::Entry{"empty-stored", ""},
                                     ZipReader::Entry{"big.xml", big}));
}

TEST(ZipReader, OnlyEntriesThePredicateAcceptsAreRead) {
    auto archive = ZipBuilder().add("a.xml", "A").add("b.xml", "B").add("c.bin", "C").bytes();
    auto entries = read(archive, [](std::string_view name) { return name.ends_with(".xml"); });
    EXPECT_THAT(names(entries), ElementsAre("a.xml", "b.xml"));
}

TEST(ZipReader, EntrySizeLimitIsInclusive) {
    std::string exact(ZipReader::maxEntryBytes, 'a');
    ZipBuilder builder;
    builder.add("exact", exact);
    builder.add({.name = "over", .data = "b", .claimedSize = ZipReader::maxEntryBytes + 1});
    builder.add("after", "ok");
    auto archive = builder.bytes();
    auto entries = read(archive);
    ASSERT_THAT(names(entries), ElementsAre("exact", "after"));
    EXPECT_EQ(entries[0].data.size(), ZipReader::maxEntryBytes);
}

TEST(ZipReader, TheEntryCapHoldsForTheBytesAStoredEntryGives) {
    // A stored entry gives what it holds, whatever size it states.
    ZipBuilder builder;
    builder.add({.name = "over",
                 .data = std::string(ZipReader::maxEntryBytes + 1, 'o'),
                 .method = 0,
                 .claimedSize = 10});
    builder.add({.name = "exact",
                 .data = std::string(ZipReader::maxEntryBytes, 'e'),
                 .method = 0,
                 .claimedSize = 10});
    builder.add({.name = "deflated",
                 .data = std::string(ZipReader::maxEntryBytes + 1, 'd'),
                 .claimedSize = 10});
    auto entries = read(builder.bytes());
    ASSERT_THAT(names(entries), ElementsAre("exact", "deflated"));
    EXPECT_EQ(entries[0].data.size(), ZipReader::maxEntryBytes);
    EXPECT_EQ(entries[1].data, std::string(10, 'd'));
}

TEST(ZipReader, SkipsEntriesItCannotReadAndKeepsTheirNeighbours) {
    ZipBuilder builder;
    builder.add("before", "1");
    builder.add({.name = "bzip2", .data = "2", .method = 12});
    builder.add({.name = "bad-local", .data = "3", .breakLocalSignature = true});
    builder.add({.name = "deflated-zero", .data = "4", .claimedSize = 0});
    builder.add({.name = "claims-4-GiB", .data = "5", .claimedSize = 0xFFFFFFFF});
    builder.add("after", "6");
    EXPECT_THAT(read(builder.bytes()),
                ElementsAre(ZipReader::Entry{"before", "1"}, ZipReader::Entry{"after", "6"}));
}

TEST(ZipReader, AStreamShorterOrLongerThanClaimedIsCutToWhatItGives) {
    ZipBuilder builder;
    builder.add({.name = "short", .data = "twelve bytes", .claimedSize = 100});
    builder.add({.name = "long", .data = "twelve bytes", .claimedSize = 6});
    EXPECT_THAT(read(builder.bytes()), ElementsAre(ZipReader::Entry{"short", "twelve bytes"},
                                                   ZipReader::Entry{"long", "twelve"}));
}

TEST(ZipReader, ABrokenDirectoryRecordEndsTheWalk) {
    ZipBuilder builder;
    builder.add("first", "1");
    builder.add({.name = "second", .data = "2", .breakCentralSignature = true});
    builder.add("third", "3");
    EXPECT_THAT(names(read(builder.bytes())), ElementsAre("first"));
}

TEST(ZipReader, DamagedDeflateStreamSkipsTheEntry) {
    auto archive = ZipBuilder().add("good", "fine").add("bad", "damaged stream here").bytes();
    // Overwrite the second entry's stream with bytes that are not DEFLATE (block type 3).
    auto at = archive.find("bad") + 3 + 4;
    for (std::size_t i = 0; i < 8; ++i)
        archive[at + i] = '\xFF';
    EXPECT_THAT(names(read(archive)), ElementsAre("good"));
}

TEST(ZipReader, FindsTheEndRecordBehindTheLongestComment) {
    auto archive = ZipBuilder().add("a", "A").comment(std::string(65535, 'c')).bytes();
    EXPECT_THAT(names(read(archive)), ElementsAre("a"));

    // One byte further from the end and the record is out of reach.
    auto tooFar = ZipBuilder().add("a", "A").bytes() + std::string(65536 + 1, 'c');
    EXPECT_THAT(read(tooFar), IsEmpty());
}

TEST(ZipReader, MalformedArchivesGiveNothing) {
    auto valid = ZipBuilder().add("a", "A").bytes();
    std::string endRecordOnly = valid.substr(valid.size() - 22);
    std::string zeroEntries = ZipBuilder().bytes();
    std::string truncatedName = valid;
    auto record = truncatedName.find("PK\x01\x02");
    truncatedName[record + 28] = truncatedName[record + 29] = '\xFF'; // a 65535-byte name
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"empty", ""},
        {"21 bytes", std::string(21, 'P')},
        {"no end record", std::string(70000, 'x')},
        {"zero entries", zeroEntries},
        {"directory offset past the end", endRecordOnly},
        {"cut in half", valid.substr(0, valid.size() / 2)},
        {"name runs past the end", truncatedName},
    };
    for (const auto& [what, bytes] : cases) {
        EXPECT_THAT(read(bytes), IsEmpty()) << what;
    }
}

TEST(ZipReader, InvalidNamesReachThePredicateRepaired) {
    auto archive = ZipBuilder().add("bad\xFFname", "x").bytes();
    std::string seen;
    read(archive, [&](std::string_view name) {
        seen = name;
        return true;
    });
    EXPECT_EQ(seen, "bad\xEF\xBF\xBDname");
}

TEST(ZipReader, TotalInflatedBytesAreCapped) {
    // Entries of nearly 8 MiB each: the ninth would pass the cap and is skipped, a small one
    // after it still fits. What an entry states is what it may inflate to, so the budget is
    // paid by the stated size (the streams here are short; real ones inflate to it).
    ZipBuilder builder;
    const std::uint32_t stated = ZipReader::maxEntryBytes - 1024;
    for (int i = 0; i < 9; ++i) {
        builder.add({.name = "part" + std::to_string(i), .data = "x", .claimedSize = stated});
    }
    builder.add("small", "still read");
    EXPECT_THAT(names(read(builder.bytes())),
                ElementsAre("part0", "part1", "part2", "part3", "part4", "part5", "part6", "part7",
                            "small"));
}

TEST(ZipReader, OpensOnlyRegularFilesWithoutFollowingLinks) {
    TempDir dir;
    ZipBuilder().add("a", "A").write(dir / "doc.zip");
    EXPECT_THAT(names(ZipReader::entries(dir / "doc.zip", acceptAll)), ElementsAre("a"));
    // Large archives are mapped rather than read: the same entries either way.
    std::string big(3 << 20, 'b');
    ZipBuilder().add("big", big, 0).add("a", "A").write(dir / "big.zip");
    EXPECT_THAT(ZipReader::entries(dir / "big.zip", acceptAll),
                ElementsAre(ZipReader::Entry{"big", big}, ZipReader::Entry{"a", "A"}));

    std::filesystem::create_symlink(dir / "doc.zip", dir / "link.zip");
    EXPECT_THAT(ZipReader::entries(dir / "link.zip", acceptAll), IsEmpty());

    ASSERT_EQ(::mkfifo((dir / "fifo.docx").c_str(), 0600), 0);
    EXPECT_THAT(ZipReader::entries(dir / "fifo.docx", acceptAll), IsEmpty()); // does not block
    EXPECT_THAT(ZipReader::entries(dir / "missing.zip", acceptAll), IsEmpty());
    EXPECT_THAT(ZipReader::entries(dir.path(), acceptAll), IsEmpty());
}

TEST(ZipReader, RawInflateReportsFailure) {
    std::string packed = ZipBuilder::deflateRaw("abc");
    auto bytes = [](const std::string& s) {
        return std::span(reinterpret_cast<const unsigned char*>(s.data()), s.size());
    };
    EXPECT_EQ(ZipReader::rawInflate(bytes(packed), 3), "abc");
    EXPECT_EQ(ZipReader::rawInflate(bytes(packed), 2), "ab");
    EXPECT_EQ(ZipReader::rawInflate(bytes(packed), 0), std::nullopt);
    EXPECT_EQ(ZipReader::rawInflate(bytes(std::string("\xFF\xFF")), 10), std::nullopt);
    EXPECT_EQ(ZipReader::rawInflate(bytes(std::string()), 10), std::nullopt);
}

} // namespace
} // namespace ulmaro
