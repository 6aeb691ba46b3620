// The fuzzy fallback scores only names that hold the needle's rarest byte. Against a plain
// scan that scores every name, it must give the same matches in the same order, on one thread
// and on many, with names in record order and shuffled in the blob.

#include "MatcherTestsSupport.h"
#include "UlmaroKit/Platform/UnicodeText.h"
#include "UlmaroKit/Platform/WorkerPool.h"
#include "UlmaroKit/Search/FuzzyMatcher.h"
#include "UlmaroKit/Search/Matcher.h"
#include "UlmaroKit/Search/SubstringScan.h"
#include "bench/SyntheticIndex.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

// Realistic names mixed with noise over a small alphabet (both cases, separators, digits,
// two-byte UTF-8), lengths 0 to 60, a few deleted records.
IndexBuilder variedNames(std::size_t count) {
    bench::SyntheticNames g(23);
    static const char* const pieces[] = {"a", "b", "c", "k", "y", "w",        "r",        "d",
                                         "K", "Y", "W", "R", "_", "-",        ".",        " ",
                                         "/", "0", "9", "x", "q", "\xc3\xa9", "\xc3\x89", "z"};
    IndexBuilder b;
    const auto root = b.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    while (b.count() < count) {
        std::string name;
        if (g.chance(50)) {
            name = g.fileName();
        } else {
            const std::size_t len = g.below(61);
            while (name.size() < len)
                name += pieces[g.below(std::size(pieces))];
        }
        b.addEntry(name, root, g.chance(4) ? RecordFlags::deleted : RecordFlags{}, 0);
    }
    return b;
}

// The fallback as it was before the prefilter: every live name scored.
std::vector<Match> plainFuzzyFallback(Matcher& m, const std::string& text) {
    std::vector<Match> results = m.match(test::andQuery({Term::substring(text)}));
    if (results.size() >= Matcher::fuzzyFallbackThreshold) return results;
    const std::string needle = UnicodeText::lowercased(text);
    const IndexStore& s = m.store();
    struct Hit {
        std::uint32_t id;
        int score, offset;
    };
    std::vector<Hit> hits;
    for (std::uint32_t id = 0; id < s.count(); ++id) {
        if (s[id].flags.contains(RecordFlags::deleted)) continue;
        if (std::any_of(results.begin(), results.end(), [&](const Match& r) { return r.id == id; }))
            continue;
        const auto r = FuzzyMatcher::match(needle, s.nameBytes(id));
        if (r && r->score >= FuzzyMatcher::minimumScore(needle.size()))
            hits.push_back({id, r->score, r->firstMatch});
    }
    std::stable_sort(hits.begin(), hits.end(),
                     [](const Hit& a, const Hit& b) { return a.score > b.score; });
    for (std::size_t i = 0; i < hits.size() && i < Matcher::maxFuzzyResults; ++i)
        results.push_back({hits[i].id, MatchQuality::fuzzy, hits[i].offset});
    return results;
}

class FuzzyPrefilter : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        const IndexBuilder ordered = variedNames(30000);
        IndexWriter::write(ordered, {}, *dir_ / "ordered.bin");
        IndexWriter::write(test::withShuffledBlob(ordered), {}, *dir_ / "shuffled.bin");
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static test::TempDir* dir_;
};
test::TempDir* FuzzyPrefilter::dir_ = nullptr;

TEST_F(FuzzyPrefilter, SameMatchesInTheSameOrderAsScoringEveryName) {
    // Rare and common rarest bytes, a letter found in upper case only, UTF-8, separators,
    // needles longer than most names, and some whose words do exist (so no fallback).
    const std::vector<std::string> needles = {"kywrd",
                                              "KYWRD",
                                              "abc",
                                              "kkk",
                                              "aaa",
                                              "wyr",
                                              "zq9",
                                              "r.d",
                                              "y w",
                                              "x\xc3\xa9z",
                                              "\xc3\xa9\xc3\xa9"
                                              "e",
                                              "qqqqq",
                                              "ab_cd",
                                              "a/b",
                                              "report",
                                              "photo",
                                              "img_1",
                                              "\xc3\x89t\xc3\x89",
                                              std::string(32, 'k'),
                                              "kbcywdrqxzkbcywd",
                                              "mnt",
                                              "d0c"};
    WorkerPool one(1), many(8);
    for (const char* file : {"ordered.bin", "shuffled.bin"}) {
        const auto store = IndexStore::open(*dir_ / file);
        Matcher serial(store, &one), parallel(store, &many);
        for (const std::string& needle : needles) {
            SCOPED_TRACE(std::string(file) + " " + needle);
            const Query q = test::andQuery({Term::substring(needle)});
            const std::vector<Match> expected = plainFuzzyFallback(serial, needle);
            EXPECT_EQ(serial.matchWithFuzzyFallback(q), expected);
            EXPECT_EQ(parallel.matchWithFuzzyFallback(q), expected);
        }
    }
}

TEST_F(FuzzyPrefilter, RecordsHoldingAByteAgreeWithANameByNameTest) {
    const auto store = IndexStore::open(*dir_ / "ordered.bin");
    const auto n = static_cast<std::uint32_t>(store->count());
    for (unsigned char byte : {'a', 'k', 'y', '_', '.', '9', 'q', '\xc3', '\x89', 'Q', '\0'}) {
        SCOPED_TRACE(static_cast<int>(byte));
        // A lower-case letter stands for both cases; any other byte only for itself.
        const bool letter = byte >= 'a' && byte <= 'z';
        std::vector<std::uint32_t> expected;
        for (std::uint32_t id = 0; id < n; ++id) {
            const std::string name(store->nameBytes(id));
            if (name.find(static_cast<char>(byte)) != std::string::npos ||
                (letter && name.find(static_cast<char>(byte - 0x20)) != std::string::npos))
                expected.push_back(id);
        }
        // Whole, and in ranges that start and end inside runs of hits.
        for (bool inOrder : {true, false}) {
            std::vector<std::uint32_t> got;
            for (std::uint32_t from = 0; from < n; from += 997)
                SubstringScan::recordsHoldingByte(*store, from, std::min(n, from + 997), byte,
                                                  inOrder, got);
            EXPECT_EQ(got, expected) << (inOrder ? "blob" : "names");
        }
    }
}

TEST(FuzzyPrefilterNeedleBytes, RarestFirstAndEveryOneInTheName) {
    std::string blob;
    for (int i = 0; i < 200000; ++i)
        blob += (i % 50 == 0) ? 'K' : (i % 7 == 0 ? 'y' : 'a');
    auto bytesOf = [&](std::string_view needle) {
        const SubstringScan::NeedleBytes b(blob, needle);
        return std::string(b.bytes().begin(), b.bytes().end());
    };
    EXPECT_EQ(bytesOf("kya"), "kya"); // counted in either case
    EXPECT_EQ(bytesOf("ayk"), "kya");
    EXPECT_EQ(bytesOf("aaqayz"), "qzya"); // each byte once; absent ones in needle order
    EXPECT_EQ(SubstringScan::NeedleBytes("", "cab").rarest(), 'c');

    const SubstringScan::NeedleBytes b(blob, "k.9\xc3");
    const std::string far(40, '-');
    struct Case {
        std::string name;
        bool all;
    } cases[] = {
        {"K.9\xc3", true},
        {"\xc3"
         "9.k",
         true},
        {far + "k" + far + "." + far + "9\xc3", true}, // across many 16-byte blocks
        {"k.9", false},
        {far + "k.9" + far, false},
        {"K.9\xe3", false}, // only A-Z are folded
        {"", false},
        {std::string("k.9\xc3").substr(0, 3) + std::string(13, '-') + "\xc3", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(b.allIn(c.name, c.name.size()), c.all) << c.name;
        // Read in place, with bytes after the name that must not count.
        const std::string padded = c.name + "k.9\xc3" + std::string(16, '-');
        EXPECT_EQ(b.allIn(std::string_view(padded).substr(0, c.name.size()), padded.size()), c.all)
            << c.name;
    }
}

} // namespace
} // namespace ulmaro
