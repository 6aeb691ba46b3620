#include "lu/SearchTestsSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ulmaro {
namespace {

using test::LuRun;
using test::LuSandbox;
using ::testing::ElementsAre;
using ::testing::MatchesRegex;

/// A store of `names` under the root.
void writeNames(const LuSandbox& sandbox, const std::vector<std::string>& names) {
    IndexBuilder builder;
    const auto root = builder.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    for (const auto& name : names)
        builder.addEntry(name, root, RecordFlags{}, 0);
    sandbox.writeIndex(builder);
}

constexpr const char* time = "[0-9]+\\.[0-9][0-9]ms";

std::string benchLine(const char* shown, const char* count) {
    return std::string("  ") + shown + count + " matches  " + time;
}

TEST(BenchCommand, PrintsTheStoreAndTheTenSampleSearches) {
    LuSandbox sandbox;
    writeNames(sandbox, {"report.swift", "playground", "IMG_0001.jpg", "a.txt", "b.bin"});
    // Words after the subcommand are ignored.
    const LuRun run = sandbox.run({"bench", "extra", "words"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(test::outLines(run),
                ElementsAre("Records: 6, name blob: 0MB",
                            MatchesRegex(benchLine("a             ", "     2")),
                            MatchesRegex(benchLine("report        ", "     1")),
                            MatchesRegex(benchLine("playground    ", "     1")),
                            MatchesRegex(benchLine("ext:swift     ", "     1")),
                            MatchesRegex(benchLine("size:>10mb    ", "     0")),
                            MatchesRegex(benchLine("ext:swift size", "     0")),
                            MatchesRegex(benchLine("ext:txt \\| ext:", "     2")),
                            MatchesRegex(benchLine("ext:txt,bin   ", "     2")),
                            MatchesRegex(benchLine("!ext:swift    ", "     5")),
                            MatchesRegex(benchLine("/\\^IMG_\\\\d\\+/    ", "     1"))))
        << run.out;
}

TEST(BenchCommand, NameBlobIsInWholeDecimalMegabytes) {
    struct Case {
        std::size_t blobBytes;
        const char* shown;
    };
    for (const Case& c : {Case{999'999, "0MB"}, Case{2'500'000, "2MB"}}) {
        std::vector<std::string> names(c.blobBytes / 250, std::string(250, 'x'));
        if (c.blobBytes % 250 != 0) names.emplace_back(c.blobBytes % 250, 'y');
        LuSandbox sandbox;
        writeNames(sandbox, names);
        const LuRun run = sandbox.run({"bench"});
        EXPECT_EQ(test::outLines(run).front(),
                  "Records: " + std::to_string(names.size() + 1) + ", name blob: " + c.shown);
    }
}

TEST(MeasureCommand, TimesMatchingAndRankingOfTheTwoQueries) {
    LuSandbox sandbox;
    IndexBuilder builder;
    const auto root = builder.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    const auto folder = builder.addEntry("playground", root, RecordFlags::isDirectory, 0);
    builder.addEntry("main.swift", folder, RecordFlags{}, 0);
    builder.addEntry("notes", root, RecordFlags{}, 0);
    sandbox.writeIndex(builder);

    const LuRun run = sandbox.run({"measure", "ignored"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(test::outLines(run),
                ElementsAre("Records: 4",
                            MatchesRegex(std::string("  path:playground matching    ") + time),
                            "    2 matches",
                            MatchesRegex(std::string("  'a' matching                ") + time),
                            "    2 matches",
                            MatchesRegex(std::string("  'a' ranking \\(limit 20\\)      ") + time)))
        << run.out;
}

TEST(BenchCommand, AnEmptyIndexStillPrintsEveryLine) {
    LuSandbox sandbox;
    sandbox.writeIndex(IndexBuilder{});
    const LuRun bench = sandbox.run({"bench"});
    auto lines = test::outLines(bench);
    ASSERT_EQ(lines.size(), 11u) << bench.out;
    EXPECT_EQ(lines[0], "Records: 0, name blob: 0MB");
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_THAT(lines[i], MatchesRegex(std::string("  .{14}     0 matches  ") + time));
    }
    const LuRun measure = sandbox.run({"measure"});
    EXPECT_THAT(test::outLines(measure), ElementsAre("Records: 0", ::testing::_, "    0 matches",
                                                     ::testing::_, "    0 matches", ::testing::_));
}

TEST(BenchCommand, WithoutAnIndexBothCommandsStopWithStatusOne) {
    LuSandbox sandbox;
    for (const char* command : {"bench", "measure"}) {
        const LuRun run = sandbox.run({command});
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_EQ(run.out, "") << command;
        EXPECT_EQ(run.err, "No index found at " + sandbox.indexPath().string() +
                               ". Run `lu scan` to build one.\n");
    }
}

} // namespace
} // namespace ulmaro
