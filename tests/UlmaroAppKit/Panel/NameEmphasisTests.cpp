#include "UlmaroAppKit/Panel/NameEmphasis.h"
#include "UlmaroAppKit/Panel/RecentFileRow.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

RankedRow named(std::string name, std::vector<ByteRange> ranges, std::int64_t offset = 0,
                std::int64_t length = 0) {
    RankedRow row;
    row.name = std::move(name);
    row.matchRanges = std::move(ranges);
    row.matchOffset = offset;
    row.matchByteLength = length;
    return row;
}

std::string shown(const std::vector<EmphasisRun>& runs) {
    std::string out;
    for (const auto& run : runs)
        out += run.bold ? "[" + run.text + "]" : run.text;
    return out;
}

TEST(NameEmphasis, Cases) {
    const struct Case {
        const char* name;
        RankedRow row;
        std::string expected;
    } cases[] = {
        {"prefix", named("report.pdf", {{0, 6}}), "[report].pdf"},
        {"offset and length", named("myreport", {}, 2, 3), "my[rep]ort"},
        {"no length", named("report", {}, 2, 0), "report"},
        {"negative length", named("report", {}, 2, -3), "report"},
        {"name order", named("abcdefghij", {{4, 8}, {0, 2}}), "[ab]cd[efgh]ij"},
        {"overlap skipped whole", named("abcdefghij", {{0, 5}, {3, 8}}), "[abcde]fghij"},
        {"equal starts keep their order", named("abcdefgh", {{2, 4}, {2, 6}}), "ab[cd]efgh"},
        {"equal starts, other order", named("abcdefgh", {{2, 6}, {2, 4}}), "ab[cdef]gh"},
        {"cut at the end", named("abc", {{1, 9}}), "a[bc]"},
        {"wholly beyond", named("abc", {{5, 9}}), "abc"},
        // "é" is two bytes (2..3): a cut inside it takes the whole character.
        {"end inside é", named("caf\xC3\xA9s", {{0, 4}}), "[caf\xC3\xA9]s"},
        {"start inside é", named("caf\xC3\xA9s", {{4, 6}}), "caf[\xC3\xA9s]"},
        {"emoji before the range", named("\xF0\x9F\x98\x80 plan", {{5, 9}}),
         "\xF0\x9F\x98\x80 [plan]"},
        {"the name's own invalid byte",
         named("a\xFF"
               "bc",
               {{2, 4}}),
         "a\xEF\xBF\xBD[bc]"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shown(emphasizedName(c.row)), c.expected) << c.name;
}

TEST(RecentFileRow, ApplicationsByTheOneRule) {
    const struct Case {
        const char* path;
        bool app;
    } cases[] = {
        {"/usr/share/applications/editor.desktop", true},
        {"/home/ana/editor.desktop", false},
        {"/home/ana/Tools/Krita.AppImage", true},
        {"/Applications/Tool.app", true},
        {"/x/Tool.APP", false},
        {"/home/ana/notes.txt", false},
    };
    for (const Case& c : cases) {
        const std::string path = c.path;
        const RankedRow row = recentFileRow({path, path.substr(path.rfind('/') + 1), {}});
        EXPECT_EQ(row.isApp, c.app) << c.path;
        EXPECT_EQ(row.path, path);
        EXPECT_FALSE(row.isDirectory);
    }
}

} // namespace
} // namespace ulmaro
