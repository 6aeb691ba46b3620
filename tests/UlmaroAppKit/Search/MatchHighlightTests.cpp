#include "UlmaroAppKit/Search/MatchHighlight.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

struct HighlightCase {
    const char* name;
    const char* query;
    std::vector<ByteRange> expected;
};

TEST(MatchHighlight, Table) {
    const HighlightCase cases[] = {
        {"report.txt", "", {}},
        {"report.txt", "   ", {}},
        {"a.pdf old", "ext:pdf !old /^a/", {}},
        {"report|invoice", "report|invoice", {}},
        {"a | b", "|", {}},
        {"Invoice-2024.PDF", "invoice .pdf", {{0, 7}, {12, 16}}},
        {"report report.txt", "report", {{0, 6}}},
        {"abcdef", "abc cde", {{0, 5}}},
        {"abcdef", "ab cd", {{0, 4}}},
        {"abcdef", "ab de", {{0, 2}, {3, 5}}},
        {"abcdef", "de ab", {{0, 2}, {3, 5}}},
        {"abcdef", "abc abc", {{0, 3}}},
        {"abcdef", "  ab   de  ", {{0, 2}, {3, 5}}},
        {"\xC3\x89t\xC3\xA9", "\xC3\xA9", {{3, 5}}}, // é matches é only, not É
        {"\xC3\x9C"
         "ber",
         "\xC3\xBC",
         {}}, // ü in Über
        {"\xC3\xBC"
         "ber",
         "\xC3\xBC",
         {{0, 2}}},                                 // ü in über: two bytes
        {"\xC3\x9Cn\xC3\xAF.txt", "txt", {{6, 9}}}, // bytes, not characters
        {"abc", "abcd", {}},
        {"ReadMe", "README", {{0, 6}}},
        {"annual report.pdf", "\"annual report\"", {}},
        {"a\tb", "a\tb", {{0, 3}}}, // a tab stays inside its word
        {"size 100mb", "size:>100mb", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchHighlight::ranges(c.name, c.query), c.expected)
            << "name '" << c.name << "' query '" << c.query << "'";
}

} // namespace
} // namespace ulmaro
