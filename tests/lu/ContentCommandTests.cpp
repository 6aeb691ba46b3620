#include "UlmaroKit/Platform/AtomicFile.h"
#include "lu/RunLu.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using test::readFile;

// The output with each timing ("built in 0.1s", "(0.3ms over") replaced by "#".
std::string withoutTimes(std::string out) {
    for (auto [before, after] : {std::pair{"built in ", "s\n"}, std::pair{"(", "ms over"}}) {
        for (std::size_t at = out.find(before); at != std::string::npos;
             at = out.find(before, at + 1)) {
            std::size_t start = at + std::string_view(before).size();
            std::size_t end = out.find(after, start);
            if (end == std::string::npos) break;
            std::string_view number(out.data() + start, end - start);
            if (number.empty() || number.find_first_not_of("0123456789.") != std::string::npos)
                continue;
            out.replace(start, end - start, "#");
        }
    }
    return out;
}

struct LuContent : ::testing::Test {
    test::TempDir home;
    std::map<std::string, std::string> env{{"HOME", home.path().string()},
                                           {"XDG_DATA_HOME", (home / "data").string()}};
    std::filesystem::path contentBin() const { return home / "data" / "Ulmaro" / "content.bin"; }

    test::LuRun lu(const std::vector<std::string>& args) { return test::runLu(args, env); }
    void file(const std::filesystem::path& relative, std::string_view text) {
        std::filesystem::create_directories((home / relative).parent_path());
        writeFileAtomically(home / relative, text);
    }
};

TEST_F(LuContent, DefaultFoldersAreListedAndAnEmptyBuildIsReported) {
    auto r = lu({"content"});
    EXPECT_EQ(r.status, 0);
    auto h = home.path().string();
    EXPECT_EQ(withoutTimes(r.out), "Reading documents in:\n  " + h + "/Documents\n  " + h +
                                       "/Desktop\n  " + h +
                                       "/Downloads\n\n  0 documents, 0.0 MB of text, built in #s\n"
                                       "  written to " +
                                       contentBin().string() + " (0.0 MB)\n");
    EXPECT_TRUE(std::filesystem::exists(contentBin()));
}

TEST_F(LuContent, FindListsFileNamesLineNumbersAndPreviews) {
    file("Documents/notes/plan.txt", "intro\n  The Budget for " + std::string(100, 'x') + "\n");
    file("Documents/other/plan.txt", "budget");
    file("Documents/unrelated.md", "nothing here");
    auto built = lu({"content", (home / "Documents").string()});
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_NE(built.out.find("\n  3 documents, 0.0 MB of text"), std::string::npos) << built.out;

    auto r = lu({"find", "BUDGET", "for"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(withoutTimes(r.out), "  plan.txt\n      2: the budget for " + std::string(75, 'x') +
                                       "\n\n1 documents contain BUDGET for (#ms over 3 docs)\n");

    auto both = lu({"find", "budget"});
    EXPECT_NE(both.out.find("\n2 documents contain budget"), std::string::npos) << both.out;
}

TEST_F(LuContent, FindTruncatesAtTwoHundredDocuments) {
    for (int i = 0; i < 205; ++i)
        file("Documents/d" + std::to_string(i) + ".txt", "word");
    ASSERT_EQ(lu({"content", (home / "Documents").string()}).status, 0);
    auto r = lu({"find", "word"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 10 * 2 + 2);
    EXPECT_NE(r.out.find("\n200+ documents contain word"), std::string::npos) << r.out;
}

TEST_F(LuContent, FindWithoutAnIndexOrWithADamagedOne) {
    auto missing = lu({"find", "x"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "No content index. Run `lu content` first.\n");
    EXPECT_EQ(missing.out, "");

    std::filesystem::create_directories(contentBin().parent_path());
    writeFileAtomically(contentBin(), "ab");
    auto tiny = lu({"find", "x"});
    EXPECT_EQ(tiny.status, 0);
    EXPECT_NE(tiny.out.find("0 documents contain x ("), std::string::npos);
    EXPECT_NE(tiny.out.find("over 0 docs)"), std::string::npos);
}

TEST_F(LuContent, AFailedWriteEndsWithoutSummaries) {
    std::filesystem::create_directories(contentBin()); // a folder where the file should go
    std::filesystem::create_directories(home / "empty");
    auto r = lu({"content", (home / "empty").string()});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.out.find("documents,"), std::string::npos);
    EXPECT_NE(r.err.find("Could not write the content index"), std::string::npos);
}

TEST_F(LuContent, AMissingOrUnreadableFolderLeavesTheIndexAlone) {
    file("Documents/plan.txt", "budget");
    file("a-file", "not a folder");
    ASSERT_EQ(lu({"content", (home / "Documents").string()}).status, 0);
    const std::string before = readFile(contentBin());

    const std::pair<std::string, std::string> cases[] = {
        {(home / "missing").string(), std::strerror(ENOENT)},
        {(home / "a-file").string(), std::strerror(ENOTDIR)},
        {"", std::strerror(ENOENT)},
    };
    for (const auto& [folder, reason] : cases) {
        auto r = lu({"content", (home / "Documents").string(), folder});
        EXPECT_EQ(r.status, 1) << folder;
        EXPECT_EQ(r.err, "Cannot read " + folder + ": " + reason +
                             ". The content index was not changed.\n");
        EXPECT_EQ(r.out.find("documents,"), std::string::npos) << r.out;
        EXPECT_EQ(readFile(contentBin()), before) << folder;
    }
}

TEST_F(LuContent, MissingDefaultFoldersAreSkippedButTheOthersAreRead) {
    file("Downloads/plan.txt", "budget");
    auto r = lu({"content"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\n  1 documents,"), std::string::npos) << r.out;
}

} // namespace
} // namespace ulmaro
