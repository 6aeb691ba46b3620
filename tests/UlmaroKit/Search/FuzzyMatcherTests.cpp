#include "UlmaroKit/Search/FuzzyMatcher.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace ulmaro {
namespace {

struct FuzzyCase {
    std::string needle;
    std::string name;
    std::optional<FuzzyMatcher::Result> expected;
};

TEST(FuzzyMatcher, Scores) {
    using R = FuzzyMatcher::Result;
    const FuzzyCase cases[] = {
        {"doc", "doc.txt", R{26, 0}},     // 10 + 8 + 8
        {"mnt", "my-notes.md", R{15, 0}}, // 10 + 6 + 0 - gap 1
        {"abc", "ABC", R{26, 0}},         // name bytes fold, also the first
        {"abc", "xaxbxc", R{-2, 1}},      // no bonus, gaps 1 + 1
        {"fbb", "foo-bar-baz", R{22, 0}}, // gaps after word starts are free
        {"fb", "fooBar", R{16, 0}},       // camel-case word start
        {"fb", "fOOBAR", R{8, 0}},        // no word start after an upper-case byte; gap 2
        {"ab", "a" + std::string(40, 'x') + "b", R{-10, 0}}, // gap capped at 20
        {"kywrd", "keyword.txt", R{10 + 8 + 8 - 2, 0}},
        {"a", "a", R{10, 0}},
        {"a", "abc", R{10, 0}},
        {"b", "ab", R{0, 1}},
        {"abc", "ab", std::nullopt},  // shorter name never matches
        {"abc", "acb", std::nullopt}, // order matters
        {"", "abc", std::nullopt},
        {"\xC3\xA9t", "\xC3\xA9t\xC3\xA9", R{26, 0}}, // other bytes compare as they are
        {"\xC3\xA9", "\xC3\x89", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto got = FuzzyMatcher::match(c.needle, c.name);
        EXPECT_EQ(got.has_value(), c.expected.has_value()) << c.needle << " in " << c.name;
        if (got && c.expected) {
            EXPECT_EQ(got->score, c.expected->score) << c.needle << " in " << c.name;
            EXPECT_EQ(got->firstMatch, c.expected->firstMatch) << c.needle << " in " << c.name;
        }
    }
}

TEST(FuzzyMatcher, EligibilityAndMinimumScore) {
    EXPECT_FALSE(FuzzyMatcher::isEligible("ab"));
    EXPECT_TRUE(FuzzyMatcher::isEligible("abc"));
    EXPECT_TRUE(FuzzyMatcher::isEligible(std::string(32, 'a')));
    EXPECT_FALSE(FuzzyMatcher::isEligible(std::string(33, 'a')));
    EXPECT_EQ(FuzzyMatcher::minimumScore(3), 12);
    EXPECT_EQ(FuzzyMatcher::minimumScore(32), 128);
}

} // namespace
} // namespace ulmaro
