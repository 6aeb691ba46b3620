#include "UlmaroKit/Search/TrigramIndex.h"
#include "support/TempDir.h"

#include <cstring>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace ulmaro {
namespace {

using ::testing::ElementsAre;
using Blocks = std::vector<std::uint32_t>;

/// Names of `count` records, all "zz" except those given.
std::vector<std::string>
namesWith(std::uint32_t count, std::initializer_list<std::pair<std::uint32_t, std::string>> set) {
    std::vector<std::string> names(count, "zz");
    for (const auto& [id, name] : set)
        names[id] = name;
    return names;
}

TrigramIndex buildFrom(const std::vector<std::string>& names) {
    auto index = TrigramIndex::build([&](std::uint32_t i) { return std::string_view(names[i]); },
                                     static_cast<std::uint32_t>(names.size()));
    EXPECT_TRUE(index.has_value());
    return index.value_or(TrigramIndex{});
}

std::uint32_t key(const char* s) {
    return (std::uint32_t{static_cast<unsigned char>(s[0])} << 16) |
           (std::uint32_t{static_cast<unsigned char>(s[1])} << 8) |
           static_cast<unsigned char>(s[2]);
}

TEST(TrigramIndexBuild, EmptyStoreAnswersEveryWordWithNoBlocks) {
    TrigramIndex index = buildFrom({});
    EXPECT_TRUE(index.keys().empty());
    EXPECT_THAT(index.postingStart(), ElementsAre(0u));
    EXPECT_TRUE(index.postings().empty());
    EXPECT_EQ(index.blockCount(), 0u);
    EXPECT_EQ(index.byteSize(), 4u);
    EXPECT_EQ(index.candidateBlocks("abc"), Blocks{});
    EXPECT_EQ(index.candidateBlocks("ab"), std::nullopt);
}

TEST(TrigramIndexBuild, BlockCountRoundsUp) {
    EXPECT_EQ(buildFrom(namesWith(1024, {})).blockCount(), 1u);
    EXPECT_EQ(buildFrom(namesWith(1025, {})).blockCount(), 2u);
    EXPECT_EQ(TrigramIndex::blockCountFor(0xFFFFFFFFu), 4194304u);
}

TEST(TrigramIndexBuild, KeysArePostedOncePerBlockFoldedAndOnlyFromThreeByteNames) {
    // Block 0: "abc" twice and "ABC" once; short names give nothing. Block 1: "xabcab".
    auto names = namesWith(2048, {{0, "abc"}, {1, "ABC"}, {2, "ab"}, {3, "a"}, {1500, "xabcab"}});
    TrigramIndex index = buildFrom(names);
    EXPECT_THAT(index.keys(), ElementsAre(key("abc"), key("bca"), key("cab"), key("xab")));
    EXPECT_THAT(index.postingStart(), ElementsAre(0u, 2u, 3u, 4u, 5u));
    EXPECT_THAT(index.postings(), ElementsAre(0u, 1u, 1u, 1u, 1u));
    EXPECT_EQ(index.byteSize(), 4u * (4 + 5 + 5));
}

TEST(TrigramIndexBuild, MultiByteSequencesTakePartUnfolded) {
    TrigramIndex index = buildFrom(namesWith(2048, {{0, "\xC3\x89T"}})); // "ÉT", block 0 of 2
    EXPECT_THAT(index.keys(), ElementsAre(0xC38974u));
    EXPECT_EQ(index.candidateBlocks("\xC3\x89t"), Blocks{0});
    EXPECT_EQ(index.candidateBlocks("\xC3\xA9t"), Blocks{}); // "ét": no Unicode folding
}

TEST(TrigramIndexBuild, CancelledBuildGivesNoIndex) {
    int polls = 0;
    auto source = [](std::uint32_t) { return std::string_view("abc"); };
    EXPECT_FALSE(TrigramIndex::build(source, 10, [] { return true; }).has_value());
    // Polled at records 0, 65536 and 131072: cancelling at the second poll still gives nothing.
    EXPECT_FALSE(TrigramIndex::build(source, 131073, [&] { return ++polls == 2; }).has_value());
    EXPECT_EQ(polls, 2);
    EXPECT_TRUE(TrigramIndex::build(source, 10, [] { return false; }).has_value());
}

TEST(TrigramIndexCandidates, ListsTheBlocksHoldingEveryTrigram) {
    // Six blocks. "report" in blocks 0, 2 and 5; "rep" alone in block 1, "port" in block 3.
    auto names = namesWith(6 * 1024 - 100, {{5, "report.pdf"},
                                            {2100, "My-Report"},
                                            {5500, "reportage"},
                                            {1030, "rep"},
                                            {3100, "port"},
                                            {4100, "xaaaa"}});
    TrigramIndex index = buildFrom(names);
    EXPECT_THAT(index.candidateBlocks("report").value_or(Blocks{99}), ElementsAre(0u, 2u, 5u));
    EXPECT_EQ(index.candidateBlocks("REPORT"), index.candidateBlocks("report"));
    // Four blocks of six hold "rep", and four "port": over 55 %, so no list.
    EXPECT_EQ(index.candidateBlocks("rep"), std::nullopt);
    EXPECT_EQ(index.candidateBlocks("port"), std::nullopt);
    EXPECT_EQ(index.candidateBlocks("re"), std::nullopt);
    EXPECT_EQ(index.candidateBlocks("rexport"), Blocks{}); // "rex" occurs nowhere
    EXPECT_EQ(index.candidateBlocks("repport"), Blocks{}); // trigrams occur, never together
    EXPECT_EQ(index.candidateBlocks("aaaaaa"), Blocks{4}); // a repeated trigram changes nothing
}

TEST(TrigramIndexCandidates, FiftyFivePercentIsStillSelective) {
    // 20 blocks; the word stands in the first 11 (exactly 55 %) or the first 12.
    for (std::uint32_t holding : {11u, 12u}) {
        auto names = namesWith(20 * 1024, {});
        for (std::uint32_t b = 0; b < holding; ++b)
            names[b * 1024 + 7] = "word";
        TrigramIndex index = buildFrom(names);
        auto blocks = index.candidateBlocks("word");
        if (holding == 11) {
            ASSERT_TRUE(blocks.has_value());
            EXPECT_EQ(blocks->size(), 11u);
        } else {
            EXPECT_EQ(blocks, std::nullopt);
        }
    }
}

TEST(TrigramIndexCandidates, RangeOfBlockStopsAtTheRecordCount) {
    EXPECT_EQ(TrigramIndex::range(0, 1024), (TrigramIndex::RecordRange{0, 1024}));
    EXPECT_EQ(TrigramIndex::range(1, 1500), (TrigramIndex::RecordRange{1024, 1500}));
    EXPECT_EQ(TrigramIndex::range(4194303, 0xFFFFFFFFu),
              (TrigramIndex::RecordRange{4294966272u, 0xFFFFFFFFu}));
}

// -- cache file ---------------------------------------------------------------------------

constexpr std::uint64_t checksum = 0x1122334455667788ull;

std::vector<std::uint32_t> readWords(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::uint32_t> words(bytes.size() / 4);
    std::memcpy(words.data(), bytes.data(), words.size() * 4);
    return words;
}

void writeBytes(const std::filesystem::path& path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

class TrigramCache : public ::testing::Test {
protected:
    // Keys abc -> {0, 1}, bcd -> {0, 1, 2}, cde -> {2}: K = 3, P = 6, blockCount 3.
    std::vector<std::string> names = namesWith(3000, {{0, "abcd"}, {1024, "abcd"}, {2048, "bcde"}});
    TrigramIndex index = buildFrom(names);
    test::TempDir dir;
    std::filesystem::path path = dir / "trigrams.bin";

    std::optional<TrigramIndex> load() { return TrigramIndex::load(path, checksum, 3000); }
};

TEST_F(TrigramCache, WritesTheDocumentedLayoutAndReadsItBack) {
    index.write(path, checksum);
    EXPECT_THAT(readWords(path),
                ElementsAre(0x4C555447u, 1u, 0x55667788u, 0x11223344u, 3u, 3u, 6u, 0u, //
                            key("abc"), key("bcd"), key("cde"),                        //
                            0u, 2u, 5u, 6u,                                            //
                            0u, 1u, 0u, 1u, 2u, 2u));
    EXPECT_EQ(std::filesystem::file_size(path), 4u * (9 + 2 * 3 + 6));
    EXPECT_FALSE(std::filesystem::exists(dir / "trigrams.bin.tmp"));
    EXPECT_EQ(load(), index);

    TrigramIndex empty = buildFrom({});
    empty.write(dir / "empty.cache", 7);
    EXPECT_EQ(TrigramIndex::load(dir / "empty.cache", 7, 0), empty);
}

TEST_F(TrigramCache, WritingReplacesAnOldCacheAndNeedsTheFolder) {
    buildFrom({}).write(path, checksum);
    index.write(path, checksum);
    EXPECT_EQ(load(), index);
    EXPECT_THROW(index.write(dir / "gone" / "trigram.cache", checksum), std::system_error);
    EXPECT_FALSE(std::filesystem::exists(dir / "gone"));
}

// A loaded index reads the mapped file in place: replacing or removing the file (a rebuild
// writing its cache) leaves the index that was read, and its copies, answering as before.
TEST_F(TrigramCache, ALoadedIndexOutlivesItsFile) {
    index.write(path, checksum);
    std::optional<TrigramIndex> loaded = load();
    ASSERT_TRUE(loaded);
    const TrigramIndex copy = *loaded;
    buildFrom(namesWith(3000, {{5, "xyzw"}})).write(path, checksum);
    std::filesystem::remove(path);
    loaded.reset();
    EXPECT_EQ(copy, index);
    EXPECT_THAT(copy.candidateBlocks("cde"), ::testing::Optional(Blocks{2}));
}

TEST_F(TrigramCache, StrayBytesAfterTheLastWordAreTolerated) {
    index.write(path, checksum);
    auto words = readWords(path);
    for (std::size_t extra = 1; extra <= 3; ++extra) {
        std::vector<unsigned char> bytes(words.size() * 4 + extra, 0xEE);
        std::memcpy(bytes.data(), words.data(), words.size() * 4);
        writeBytes(path, bytes.data(), bytes.size());
        EXPECT_EQ(load(), index) << extra << " extra bytes";
    }
}

TEST_F(TrigramCache, RefusesFilesOfAnotherStore) {
    index.write(path, checksum);
    EXPECT_EQ(TrigramIndex::load(path, checksum + 1, 3000), std::nullopt);
    // Same checksum, but a store of another block count.
    EXPECT_EQ(TrigramIndex::load(path, checksum, 2048), std::nullopt);
    EXPECT_EQ(TrigramIndex::load(path, checksum, 3073), std::nullopt);
    EXPECT_EQ(TrigramIndex::load(dir / "missing.bin", checksum, 3000), std::nullopt);
    EXPECT_EQ(TrigramIndex::load(dir.path(), checksum, 3000), std::nullopt);
}

TEST_F(TrigramCache, RefusesEveryDamagedFile) {
    index.write(path, checksum);
    const auto good = readWords(path);
    // Word positions: header 0-7, keys 8-10, posting starts 11-14, postings 15-20.
    struct Damage {
        const char* what;
        std::function<void(std::vector<std::uint32_t>&)> apply;
    };
    const std::vector<Damage> damages = {
        {"magic", [](auto& w) { w[0] ^= 1; }},
        {"version 2", [](auto& w) { w[1] = 2; }},
        {"cut short by one word", [](auto& w) { w.pop_back(); }},
        {"header only", [](auto& w) { w.resize(8); }},
        {"shorter than a header", [](auto& w) { w.resize(7); }},
        {"empty", [](auto& w) { w.clear(); }},
        {"key count against length", [](auto& w) { w[5] = 4; }},
        {"posting count against length", [](auto& w) { w[6] = 5; }},
        {"keys out of order", [](auto& w) { std::swap(w[8], w[9]); }},
        {"key repeated", [](auto& w) { w[9] = w[8]; }},
        {"key wider than 24 bits", [](auto& w) { w[10] = 0x1000000; }},
        {"first start not 0", [](auto& w) { w[11] = 1; }},
        {"starts decreasing", [](auto& w) { w[12] = 5, w[13] = 2; }},
        {"start beyond the postings", [](auto& w) { w[12] = 1000000; }},
        {"last start not the posting count", [](auto& w) { w[14] = 5; }},
        {"run descending", [](auto& w) { w[15] = 1, w[16] = 0; }},
        {"run repeating a block", [](auto& w) { w[16] = 0; }},
        {"block beyond the store", [](auto& w) { w[20] = 3; }},
        {"huge block number", [](auto& w) { w[20] = 0xFFFFFFFF; }},
    };
    for (const auto& damage : damages) {
        auto words = good;
        damage.apply(words);
        writeBytes(path, words.data(), words.size() * 4);
        EXPECT_EQ(load(), std::nullopt) << damage.what;
    }
}

} // namespace
} // namespace ulmaro
