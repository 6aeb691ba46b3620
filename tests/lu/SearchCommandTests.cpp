#include "lu/SearchTestsSupport.h"

#include <cstdio>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ulmaro {
namespace {

using test::LuRun;
using test::LuSandbox;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;

constexpr const char* summaryPattern =
    R"(([0-9]+) matches in [0-9]+\.[0-9][0-9]ms \(showing ([0-9]+)\))";

/// The last line's numbers, total and shown, after checking that it is the summary.
std::pair<int, int> summaryOf(const LuRun& run) {
    const auto lines = test::outLines(run);
    const bool found =
        lines.size() >= 2 && lines[lines.size() - 2].empty() &&
        ::testing::Matches(MatchesRegex(std::string(summaryPattern) + ".*"))(lines.back());
    int total = -1;
    int shown = -1;
    if (!found || std::sscanf(lines.back().c_str(), "%d matches in %*fms (showing %d)", &total,
                              &shown) != 2) {
        ADD_FAILURE() << "no summary in:\n" << run.out;
        return {-1, -1};
    }
    return {total, shown};
}

class SearchCommandNames : public ::testing::Test {
protected:
    LuSandbox sandbox;
    const std::filesystem::path folder = "/home/u/Documents";

    /// Files in `folder`; `filled` of them (from the first) carry a size and a time.
    void writeIndex(const std::vector<std::string>& names, std::size_t filled = 0) {
        IndexBuilder builder;
        const auto parent = test::addFolderChain(builder, folder);
        for (std::size_t i = 0; i < names.size(); ++i) {
            const auto id = builder.addEntry(names[i], parent, RecordFlags{}, 0);
            if (i < filled) builder.setAttributes(id, 20'000'000, 1'700'000'000);
        }
        sandbox.writeIndex(builder);
    }
};

TEST_F(SearchCommandNames, ListsTwentyRankedPathsAndCountsEveryMatch) {
    std::vector<std::string> names = {"notes.txt", "report"};
    for (int i = 0; i < 24; ++i)
        names.push_back("old-report-" + std::to_string(i) + ".pdf");
    writeIndex(names);

    const LuRun run = sandbox.run({"search", "REPORT"});
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.err, IsEmpty());
    const auto lines = test::outLines(run);
    ASSERT_EQ(lines.size(), 22u) << run.out;
    EXPECT_EQ(lines[0], "  /home/u/Documents/report"); // the exact match ranks first
    for (std::size_t i = 1; i < 20; ++i) {
        EXPECT_THAT(lines[i], MatchesRegex("  /home/u/Documents/old-report-[0-9]+\\.pdf"));
    }
    EXPECT_EQ(summaryOf(run), std::make_pair(25, 20));
}

TEST_F(SearchCommandNames, ShowingCountsOnlyThePrintedRows) {
    IndexBuilder builder;
    const auto parent = test::addFolderChain(builder, folder);
    builder.addEntry("report", parent, RecordFlags{}, 0);
    // Two records whose parents point at each other: no path to print.
    const auto a = builder.addEntry("loop-report-a", parent, RecordFlags{}, 0);
    const auto b = builder.addEntry("loop-report-b", a, RecordFlags{}, 0);
    builder.records[a].parentID = b;
    sandbox.writeIndex(builder);

    const LuRun run = sandbox.run({"search", "report"});
    EXPECT_EQ(run.status, 0);
    const auto lines = test::outLines(run);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    EXPECT_EQ(lines[0], "  /home/u/Documents/report");
    EXPECT_EQ(summaryOf(run), std::make_pair(3, 1));
}

TEST_F(SearchCommandNames, WordsAreJoinedIntoOneQuery) {
    writeIndex({"budget 2024.xlsx", "budget.txt", "2024.txt"});
    const LuRun run = sandbox.run({"search", "budget", "2024"});
    EXPECT_EQ(test::outLines(run).front(), "  /home/u/Documents/budget 2024.xlsx");
    EXPECT_EQ(summaryOf(run), std::make_pair(1, 1));
}

TEST_F(SearchCommandNames, FallsBackToFuzzyAndElseReportsNothing) {
    writeIndex({"quarterly-report.pdf", "notes.txt"});
    LuRun fuzzy = sandbox.run({"search", "qrtrly"});
    EXPECT_EQ(test::outLines(fuzzy).front(), "  /home/u/Documents/quarterly-report.pdf");
    EXPECT_EQ(summaryOf(fuzzy), std::make_pair(1, 1));

    LuRun none = sandbox.run({"search", "zzzzzz"});
    EXPECT_EQ(none.status, 0);
    EXPECT_THAT(none.out, MatchesRegex(std::string("\n") + summaryPattern + "\n"));
    EXPECT_EQ(summaryOf(none), std::make_pair(0, 0));
}

TEST_F(SearchCommandNames, WarnsWhenSizeOrDateFiltersMeetMissingAttributes) {
    const std::vector<std::string> noneWarning = {
        "", "  size: and dm: filters need file attributes, which this index does not have yet.",
        "  (Attributes are filled by the first scan and by \"Refresh\" -- not by",
        "  automatic background rescans -- so results below may be incomplete.)"};
    const std::vector<std::string> partialWarning = {
        "", "  size: and dm: filters are matched against a PARTIALLY attribute-filled index --",
        "  results below are real but may be missing some matches."};
    struct Case {
        std::size_t filled; // of the 2 files (the folder chain never has attributes)
        std::string query;
        std::vector<std::string> warning;
    };
    const std::vector<Case> cases = {
        {0, "size:>10mb", noneWarning},
        {0, "notes | size:>10mb", noneWarning}, // inside an OR group
        {0, "!dm:today", noneWarning},          // under a negation
        {1, "size:>10mb", partialWarning},
        {0, "notes", {}}, // no attribute term: no warning
    };
    for (const Case& c : cases) {
        writeIndex({"big.iso", "notes.txt"}, c.filled);
        const LuRun run = sandbox.run({"search", c.query});
        auto lines = test::outLines(run);
        ASSERT_GE(lines.size(), 2u) << c.query;
        // Paths, then the warning, then the empty line and the summary.
        std::vector<std::string> tail(lines.end() - 2 - static_cast<long>(c.warning.size()),
                                      lines.end() - 2);
        EXPECT_EQ(tail, c.warning) << c.query << "\n" << run.out;
        summaryOf(run);
    }

    // A complete index never warns.
    IndexBuilder builder;
    const auto root = builder.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    builder.setAttributes(root, 0, 1);
    builder.setAttributes(builder.addEntry("big.iso", root, RecordFlags{}, 0), 20'000'000, 1);
    sandbox.writeIndex(builder);
    const LuRun complete = sandbox.run({"search", "size:>10mb"});
    EXPECT_THAT(test::outLines(complete),
                ElementsAre("  /big.iso", "", MatchesRegex(summaryPattern)));
}

// -- contents road --------------------------------------------------------------------------

class SearchCommandContents : public ::testing::Test {
protected:
    LuSandbox sandbox;
    test::TempDir files;

    void write(const std::string& name, const std::string& text) {
        std::ofstream(files / name, std::ios::binary) << text;
    }

    /// Indexes every file written so far, as a scan of `files` would.
    void indexFiles() {
        IndexBuilder builder;
        const auto parent = test::addFolderChain(builder, files.path());
        for (const auto& entry : std::filesystem::directory_iterator(files.path())) {
            builder.addEntry(entry.path().filename().string(), parent, RecordFlags{}, 0);
        }
        sandbox.writeIndex(builder);
    }

    std::string pathOf(const std::string& name) { return (files / name).string(); }
};

TEST_F(SearchCommandContents, ListsFilesHoldingTheNeedleWithTheirLine) {
    write("plan.txt", "intro\n\nThe BUDGET is tight\nbudget again\n");
    write("other.txt", "nothing here\n");
    write("budget.md", "budget in markdown\n"); // name matches, extension does not
    indexFiles();

    const LuRun run = sandbox.run({"search", "ext:txt", "contains:budget"});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto lines = test::outLines(run);
    EXPECT_THAT(lines, ElementsAre("  " + pathOf("plan.txt"), "      3: The BUDGET is tight", "",
                                   MatchesRegex(std::string(summaryPattern) +
                                                "  \\(read 2 candidates\\)")));
    EXPECT_EQ(summaryOf(run), std::make_pair(1, 1));
}

TEST_F(SearchCommandContents, EveryContentsTermMustHold) {
    write("both.txt", "alpha\nbeta\n");
    write("alpha.txt", "alpha only\n");
    write("beta.txt", "beta only\n");
    indexFiles();

    LuRun both = sandbox.run({"search", ".txt contains:alpha contains:beta"});
    EXPECT_THAT(test::outLines(both), ElementsAre("  " + pathOf("both.txt"), "      1: alpha", "",
                                                  MatchesRegex(".*\\(read 3 candidates\\)")));
    LuRun none = sandbox.run({"search", ".txt contains:gamma contains:beta"});
    EXPECT_EQ(summaryOf(none), std::make_pair(0, 0));
}

TEST_F(SearchCommandContents, ANamePartThatMatchesNothingReadsNothing) {
    write("quarterly.txt", "budget\n");
    indexFiles();
    // The name road's fuzzy fallback would find "qrtrly"; this road does not use it.
    const LuRun run = sandbox.run({"search", "qrtrly contains:budget"});
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(
        test::outLines(run),
        ElementsAre("", MatchesRegex(std::string("0 matches in [0-9]+\\.[0-9][0-9]ms "
                                                 "\\(showing 0\\)  \\(read 0 candidates\\)"))));
}

TEST_F(SearchCommandContents, ReadsFilesWhoseNamesAreNotUtf8) {
    write("notes-\xFF.txt", "budget line\n");
    indexFiles();
    const LuRun run = sandbox.run({"search", "notes contains:budget"});
    EXPECT_THAT(test::outLines(run), ElementsAre("  " + pathOf("notes-\xEF\xBF\xBD.txt"),
                                                 "      1: budget line", "", ::testing::_));
}

TEST_F(SearchCommandContents, RefusesAQueryWithoutANamePart) {
    write("a.txt", "budget\n");
    indexFiles();
    for (const char* query : {"contains:budget", "contains:a contains:b"}) {
        const LuRun run = sandbox.run({"search", query});
        EXPECT_EQ(run.status, 2) << query;
        EXPECT_THAT(run.out, IsEmpty());
        EXPECT_EQ(run.err, "contains: needs something to narrow by, e.g. `.swift contains:foo`\n");
    }
}

TEST_F(SearchCommandContents, FindsTheWordInRealDocuments) {
    const std::filesystem::path fixtures = std::filesystem::path(ULMARO_FIXTURES_DIR) / "documents";
    if (!std::filesystem::is_directory(fixtures)) GTEST_SKIP() << "no document fixtures";
    IndexBuilder builder;
    const auto parent = test::addFolderChain(builder, fixtures);
    std::vector<std::string> withReport;
    for (const auto& entry : std::filesystem::directory_iterator(fixtures)) {
        const std::string name = entry.path().filename().string();
        builder.addEntry(name, parent, RecordFlags{}, 0);
        if (name.find("report") != std::string::npos) withReport.push_back(name);
    }
    sandbox.writeIndex(builder);
    if (withReport.empty()) GTEST_SKIP() << "no fixture named like a report";

    const LuRun run = sandbox.run({"search", "report contains:budget"});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto [total, shown] = summaryOf(run);
    EXPECT_GT(total, 0) << run.out;
    const auto lines = test::outLines(run);
    for (int i = 0; i < shown; ++i) {
        EXPECT_THAT(lines[2 * i], ::testing::StartsWith("  " + fixtures.string() + "/"));
        EXPECT_THAT(lines[2 * i + 1], MatchesRegex("      [0-9]+: .*"));
        EXPECT_THAT(lines[2 * i + 1], ::testing::ContainsRegex("[Bb][Uu][Dd][Gg][Ee][Tt]"));
    }
}

} // namespace
} // namespace ulmaro
