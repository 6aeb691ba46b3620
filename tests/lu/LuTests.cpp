#include "RunLu.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

#include <cstdio>
#include <cstring>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using test::LuRun;
using test::runLu;
using test::TempDir;

const std::string usage = "lu \u2014 Ulmaro engine CLI\n"
                          "\n"
                          "  lu scan [path]      Index a subtree (default: home directory)\n"
                          "  lu search <query>   Search the current index\n"
                          "  lu content [dirs]   Build the document content index (default: "
                          "Documents,\n"
                          "                       Desktop, Downloads)\n"
                          "  lu find <text>      Search document CONTENTS, no name term needed\n"
                          "  lu bench            Report index stats and query timings\n"
                          "  lu measure          [diagnostic] Time matching and ranking "
                          "separately\n"
                          "                       for \"path:playground\" and \"a\" against "
                          "the current\n"
                          "                       index. Not a stable product surface -- "
                          "exists for\n"
                          "                       before/after perf comparisons; may change "
                          "or be\n"
                          "                       removed without notice.\n";

using test::readFile;

void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// A data folder for one test, with the index path lu will use.
struct DataFolder {
    TempDir dir;
    std::map<std::string, std::string> env() const {
        return {{"XDG_DATA_HOME", dir.path().string()}, {"HOME", (dir / "home").string()}};
    }
    fs::path indexPath() const { return dir / "Ulmaro" / "index.bin"; }
};

std::string validIndexBytes(const fs::path& scratch) {
    IndexBuilder builder;
    builder.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    builder.addEntry("file", 0, {}, 0);
    const VolumeEntry volume{
        .uuid = "local", .mountPath = "/", .lastEventID = 0, .isAvailable = true};
    IndexWriter::write(builder, std::span(&volume, 1), scratch);
    return readFile(scratch);
}

void putU32(std::string& bytes, std::size_t at, std::uint32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}

TEST(Lu, UsageAndDispatch) {
    DataFolder data;
    writeFile(data.indexPath(), "not an index, and never opened by these runs");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"Search", "x"}, {"--help"}, {"search"}, {"find"}}) {
        const LuRun run = runLu(args, data.env());
        std::string shown;
        for (const std::string& a : args)
            shown += a + " ";
        EXPECT_EQ(run.status, 1) << shown;
        EXPECT_EQ(run.out, usage) << shown;
        EXPECT_EQ(run.err, "") << shown;
    }
}

TEST(Lu, CommandsThatReadTheIndexNameAMissingOne) {
    DataFolder data;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"bench", "ignored"}, std::vector<std::string>{"measure"},
          std::vector<std::string>{"search", "x"}}) {
        const LuRun run = runLu(args, data.env());
        EXPECT_EQ(run.status, 1) << args[0];
        EXPECT_EQ(run.err, "No index found at " + data.indexPath().string() +
                               ". Run `lu scan` to build one.\n")
            << args[0];
        EXPECT_EQ(run.out, "") << args[0];
    }
}

TEST(Lu, AnIndexThatCannotBeUsedEndsTheRunWithItsMessage) {
    DataFolder data;
    const std::string path = data.indexPath().string();
    const std::string valid = validIndexBytes(data.dir / "valid.bin");
    std::string corrupt = valid;
    corrupt.back() ^= 0x01;
    std::string version4 = valid;
    putU32(version4, 4, 4);
    std::string volumes13 = valid;
    putU32(volumes13, 24, 13);

    const std::string incomplete = "Index file is incomplete (a previous scan may have been "
                                   "interrupted). Run `lu scan` to rebuild it.\n";
    struct Case {
        const char* what;
        std::string bytes;
        std::string message;
    };
    const std::vector<Case> cases{
        {"short", std::string(100, 'x'), incomplete},
        {"checksum", corrupt, "Index file is corrupt. Run `lu scan` to rebuild it.\n"},
        {"magic", std::string(5000, '\0'), "File at " + path + " is not a valid Ulmaro index.\n"},
        {"version 4", version4,
         "Index format v4 doesn't match this build (v5). Run `lu scan` to rebuild it.\n"},
        {"13 volumes", volumes13,
         "Index references more volumes than this build supports. Run `lu scan` to rebuild "
         "it.\n"},
    };
    for (const Case& c : cases) {
        writeFile(data.indexPath(), c.bytes);
        const LuRun run = runLu({"bench"}, data.env());
        EXPECT_EQ(run.status, 1) << c.what;
        EXPECT_EQ(run.err, c.message) << c.what;
        EXPECT_EQ(run.out, "") << c.what;
    }
    // An index that exists but cannot be opened counts as incomplete.
    fs::remove(data.indexPath());
    fs::create_directories(data.indexPath());
    EXPECT_EQ(runLu({"bench"}, data.env()).err, incomplete);
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start) + "<no line end>");
    return lines;
}

// The lines of a finished scan: "Scanning …", the summary, "written to".
void expectScanOutput(const LuRun& run, const std::string& root, const fs::path& index,
                      long long entries) {
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::vector<std::string> lines = linesOf(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    EXPECT_EQ(lines[0], "Scanning " + root + "\u2026");
    long long count = -1, rate = -1, unreadable = -1;
    unsigned seconds = 0;
    char decimals[3] = {};
    int used = 0;
    ASSERT_EQ(std::sscanf(lines[1].c_str(),
                          "  %lld entries in %u.%2[0-9]s (%lld/s), %lld unreadable%n", &count,
                          &seconds, decimals, &rate, &unreadable, &used),
              5)
        << lines[1];
    EXPECT_EQ(static_cast<std::size_t>(used), lines[1].size()) << lines[1];
    EXPECT_EQ(std::strlen(decimals), 2u) << lines[1];
    EXPECT_EQ(count, entries);
    EXPECT_GT(rate, 0);
    EXPECT_EQ(unreadable, 0);
    EXPECT_EQ(lines[2], "  written to " + index.string());
}

void makeSmallTree(const fs::path& root) {
    fs::create_directories(root / "docs" / "deep");
    fs::create_directories(root / ".hidden");
    writeFile(root / "docs" / "a.txt", "a");
    writeFile(root / "docs" / "deep" / "b.txt", "b");
    fs::create_symlink("docs", root / "link");
}

TEST(LuScan, WritesTheIndexAndSummarises) {
    DataFolder data;
    const fs::path root = data.dir / "tree";
    makeSmallTree(root);
    const LuRun run = runLu({"scan", root.string() + "/", "ignored"}, data.env());
    expectScanOutput(run, root.string(), data.indexPath(), 6);

    auto store = IndexStore::open(data.indexPath());
    const IndexHeader& header = store->header();
    ASSERT_EQ(header.volumes.size(), 1u);
    EXPECT_EQ(
        header.volumes[0],
        (VolumeEntry{
            .uuid = "local", .mountPath = root.string(), .lastEventID = 0, .isAvailable = true}));
    EXPECT_EQ(header.attrsCompleteness, AttrsCompleteness::none);
    const auto chain = static_cast<std::size_t>(std::distance(root.begin(), root.end()));
    EXPECT_EQ(store->count(), chain + 6);
}

TEST(LuScan, DefaultsToTheHomeFolderAndTakesRelativeRoots) {
    DataFolder data;
    const fs::path home = data.dir / "home";
    makeSmallTree(home);
    expectScanOutput(runLu({"scan"}, data.env()), home.string(), data.indexPath(), 6);
    EXPECT_EQ(IndexStore::open(data.indexPath())->header().volumes[0].mountPath, home.string());

    expectScanOutput(runLu({"scan", "../docs/deep/.."}, data.env(), home / ".hidden"),
                     (home / "docs").string(), data.indexPath(), 3);
    expectScanOutput(runLu({"scan", "."}, data.env(), home / "docs"), (home / "docs").string(),
                     data.indexPath(), 3);
}

TEST(LuScan, NeverIndexesItsOwnDataFolder) {
    TempDir dir;
    const fs::path home = dir / "home";
    makeSmallTree(home);
    const std::map<std::string, std::string> env{
        {"HOME", home.string()}, {"XDG_DATA_HOME", (home / ".local/share").string()}};
    ASSERT_EQ(runLu({"scan"}, env).status, 0);
    ASSERT_EQ(runLu({"scan"}, env).status, 0); // now index.bin exists under the root
    auto store = IndexStore::open(home / ".local/share/Ulmaro/index.bin");
    bool sawFolder = false;
    for (std::uint32_t id = 0; id < store->count(); ++id) {
        EXPECT_NE(store->nameBytes(id), "index.bin");
        sawFolder |= store->nameBytes(id) == "Ulmaro";
    }
    EXPECT_TRUE(sawFolder);
}

TEST(LuScan, AnUnreadableRootLeavesTheIndexAlone) {
    DataFolder data;
    const fs::path root = data.dir / "tree";
    makeSmallTree(root);
    ASSERT_EQ(runLu({"scan", root.string()}, data.env()).status, 0);
    const std::string before = readFile(data.indexPath());

    writeFile(data.dir / "plain-file", "x");
    for (const fs::path& bad : {data.dir / "missing", data.dir / "plain-file"}) {
        const LuRun run = runLu({"scan", bad.string()}, data.env());
        EXPECT_NE(run.status, 0);
        EXPECT_EQ(run.out, "Scanning " + bad.string() + "\u2026\n");
        EXPECT_THAT(run.err, ::testing::HasSubstr("Cannot scan " + bad.string()));
        EXPECT_EQ(readFile(data.indexPath()), before);
    }
}

TEST(LuScan, AWriteFailureComesAfterTheSummary) {
    TempDir dir;
    const fs::path root = dir / "tree";
    makeSmallTree(root);
    writeFile(dir / "blocker", "a file where the data folder should go");
    const LuRun run =
        runLu({"scan", root.string()}, {{"XDG_DATA_HOME", (dir / "blocker").string()}});
    EXPECT_NE(run.status, 0);
    EXPECT_THAT(run.out, ::testing::HasSubstr("  6 entries in "));
    EXPECT_THAT(run.out, ::testing::Not(::testing::HasSubstr("written to")));
    EXPECT_THAT(run.err, ::testing::HasSubstr("Could not write"));
}

} // namespace
} // namespace ulmaro
