#include "UlmaroKit/Content/ContentSearcher.h"
#include "UlmaroKit/Content/ContentTestFiles.h"
#include "UlmaroKit/Content/ZipBuilder.h"
#include "support/TempDir.h"

#include <atomic>
#include <condition_variable>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace ulmaro::ContentSearcher {
void PrintTo(const Hit& hit, std::ostream* out) {
    *out << "{" << hit.path << ", line " << hit.line << ", \"" << hit.preview << "\"}";
}
} // namespace ulmaro::ContentSearcher

namespace ulmaro {
namespace {

using namespace ulmaro::test;
using ContentSearcher::Hit;
using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::IsEmpty;
using ::testing::SizeIs;

std::vector<Hit> hitsOf(const ContentSearcher::Outcome& outcome) {
    const auto* hits = std::get_if<ContentSearcher::Hits>(&outcome);
    if (hits == nullptr) {
        ADD_FAILURE() << "too many candidates";
        return {};
    }
    return hits->hits;
}

std::vector<Hit> search(std::string_view needle, const std::vector<std::string>& paths,
                        bool caseSensitive = false) {
    return hitsOf(ContentSearcher::search(needle, paths, caseSensitive));
}

// One file searched for one needle: its hit, or nothing.
std::optional<Hit> searchFile(std::string_view needle, const std::filesystem::path& path,
                              bool caseSensitive = false) {
    auto hits = search(needle, {path.string()}, caseSensitive);
    if (hits.empty()) return std::nullopt;
    EXPECT_THAT(hits, SizeIs(1));
    return hits.front();
}

TEST(ContentSearcher, CandidateLimit) {
    std::vector<std::string> many(5001, "/nonexistent/file.txt");
    EXPECT_EQ(ContentSearcher::search("", many, false),
              ContentSearcher::Outcome{ContentSearcher::Hits{}});
    EXPECT_EQ(ContentSearcher::search("x", many, false),
              ContentSearcher::Outcome{ContentSearcher::TooManyCandidates{5001}});
    many.pop_back();
    EXPECT_EQ(ContentSearcher::search("x", many, false),
              ContentSearcher::Outcome{ContentSearcher::Hits{}});
    EXPECT_EQ(ContentSearcher::search("x", std::vector<std::string>(3, "/nope"), false, 2),
              ContentSearcher::Outcome{ContentSearcher::TooManyCandidates{3}});
}

TEST(ContentSearcher, LiteralSearchOfPlainFiles) {
    TempDir dir;
    std::string longLine = "\t  needle " + std::string(500, 'x');
    std::string marks;
    for (int i = 0; i < 300; ++i)
        marks += "e\xCC\x81"; // e + combining acute: one character
    struct Case {
        const char* what;
        std::string content;
        std::string needle;
        bool caseSensitive;
        std::optional<std::pair<std::int64_t, std::string>> expected;
    };
    const std::vector<Case> cases = {
        {"folds ASCII capitals of the file", "x\n  An INVOICE here  \n", "Invoice", false,
         std::pair{2, "An INVOICE here"}},
        {"case-sensitive", "An INVOICE here", "Invoice", true, std::nullopt},
        {"case-sensitive match", "An Invoice here", "Invoice", true,
         std::pair{1, "An Invoice here"}},
        {"only ASCII is folded in raw files", "summer \xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9",
         false, std::nullopt},
        {"lower-cased needle meets lower-case text", "summer \xC3\xA9t\xC3\xA9",
         "\xC3\x89T\xC3\x89", false, std::pair{1, "summer \xC3\xA9t\xC3\xA9"}},
        {"LF", "one\ntwo\nthe needle\nfour", "needle", false, std::pair{3, "the needle"}},
        {"CR LF", "one\r\ntwo\r\nthe needle\r\nfour", "needle", false, std::pair{3, "the needle"}},
        {"lone CR", "one\rtwo\rthe needle\rfour", "needle", false, std::pair{3, "the needle"}},
        {"blank lines count", "\n\r\n\r\nneedle", "needle", false, std::pair{4, "needle"}},
        {"long line", longLine, "needle", false,
         std::pair{1, ("needle " + std::string(500, 'x')).substr(0, 200)}},
        {"preview counts characters", "needle " + marks, "needle", false,
         std::pair{1, "needle " + marks.substr(0, 193 * 3)}},
        {"first match wins", "a needle\nb needle", "needle", false, std::pair{1, "a needle"}},
        {"needle longer than file", "need", "needle", false, std::nullopt},
        {"zero byte early", std::string("ab\0c needle", 11), "needle", false, std::nullopt},
        {"zero byte after the probe", std::string(4096, 'a') + std::string(1, '\0') + "\nneedle",
         "needle", false, std::pair{2, "needle"}},
        {"beyond the read limit", std::string(ContentSearcher::maxBytesPerFile, 'a') + "needle",
         "needle", false, std::nullopt},
        {"needle straddles the limit",
         std::string(ContentSearcher::maxBytesPerFile - 3, 'a') + "needle", "needle", false,
         std::nullopt},
        {"invalid UTF-8 in the line", "caf\xE9 needle", "needle", false,
         std::pair{1, "caf\xEF\xBF\xBD needle"}},
    };
    for (const auto& c : cases) {
        auto path = writeFile(dir / "file.txt", c.content);
        auto hit = searchFile(c.needle, path, c.caseSensitive);
        if (!c.expected) {
            EXPECT_EQ(hit, std::nullopt) << c.what;
            continue;
        }
        EXPECT_EQ(hit, (Hit{path.string(), c.expected->first, c.expected->second})) << c.what;
    }
}

TEST(ContentSearcher, ExtractedDocumentsAreSearchedInLowerCase) {
    auto pdf = documentFixture("budget-report.pdf").string();
    // Extracted text is lower-cased whole, so ÉTÉ in a document is found by été.
    EXPECT_EQ(
        searchFile("\xC3\xA9t\xC3\xA9", pdf),
        (Hit{pdf, 2, "the budget for the summer \xC3\xA9t\xC3\xA9 campaign is settled.1 noted."}));
    EXPECT_EQ(
        searchFile("ÉTÉ", pdf, true),
        (Hit{pdf, 2, "The budget for the summer \xC3\x89T\xC3\x89 campaign is settled.1 Noted."}));
    EXPECT_THAT(searchFile("travel costs", pdf), testing::Optional(Field(&Hit::line, 9)));

    // Word: the footnotes follow the body after a line feed; comments are not searched.
    auto docx = documentFixture("budget-report.docx").string();
    EXPECT_EQ(searchFile("figures", docx), (Hit{docx, 2, "footnote: figures are approximate."}));
    EXPECT_EQ(searchFile("marginalia", docx), std::nullopt);
}

TEST(ContentSearcher, ZipDocumentsAndTheirRawBytes) {
    TempDir dir;
    // A Word document whose text part is empty: no hit, and its raw bytes, which hold the
    // word in a stored entry, are not searched.
    ZipBuilder()
        .add("word/document.xml", "", 0)
        .add("word/styles.xml", "needle", 0)
        .write(dir / "empty.docx");
    EXPECT_EQ(searchFile("needle", dir / "empty.docx"), std::nullopt);

    // A plain-text file named like a document is not a zip: its raw bytes are searched.
    auto fake = writeFile(dir / "fake.docx", "a needle in plain text");
    EXPECT_EQ(searchFile("needle", fake), (Hit{fake.string(), 1, "a needle in plain text"}));

    // Entities stay as written.
    ZipBuilder().add("word/document.xml", "<w:t>a&amp;b</w:t>").write(dir / "amp.DOCX");
    EXPECT_EQ(searchFile("a&b", dir / "amp.DOCX"), std::nullopt);
    EXPECT_EQ(searchFile("A&AMP;B", dir / "amp.DOCX"),
              (Hit{(dir / "amp.DOCX").string(), 1, "a&amp;b"}));
}

TEST(ContentSearcher, ChoosingAnExpression) {
    TempDir dir;
    auto path = writeFile(dir / "f.txt",
                          "first /usr/local/ bin\nDate 2024-07 here\n/(/ literally\n// x\n/a b\n");
    auto p = path.string();
    struct Case {
        const char* needle;
        std::optional<Hit> expected;
    };
    const std::vector<Case> cases = {
        {"/usr/local/", Hit{p, 1, "first /usr/local/ bin"}}, // literal: has a slash, no specials
        {"/[0-9]{4}-[0-9]{2}/", Hit{p, 2, "Date 2024-07 here"}}, // expression
        {"/DATE \\d+/", Hit{p, 2, "Date 2024-07 here"}},         // expressions ignore case
        {"/^/\\(/", Hit{p, 3, "/(/ literally"}},                 // "^" at a line start
        {"/ here$/", Hit{p, 2, "Date 2024-07 here"}},            // "$" at a line end
        {"/(/", Hit{p, 3, "/(/ literally"}},                     // does not compile: literal
        {"//", Hit{p, 4, "// x"}},                               // too short: literal
        {"/a", Hit{p, 5, "/a b"}},
        {"/zzz|date/", Hit{p, 2, "Date 2024-07 here"}},
        {"/nothing.*here/", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(searchFile(c.needle, path, true), c.expected) << c.needle;
    }
}

TEST(ContentSearcher, ExpressionLinesAndPreviews) {
    TempDir dir;
    struct Case {
        const char* what;
        std::string content;
        const char* needle;
        std::int64_t line;
        std::string preview;
    };
    const std::vector<Case> cases = {
        {"LF", "a\nb\n  c match  \nd", "/m.tch/", 3, "c match"},
        {"CR LF", "a\r\nb\r\nc match\r\nd", "/m.tch/", 3, "c match"},
        {"lone CR", "a\rb\rc match\rd", "/m.tch/", 3, "c match"},
        {"spanning lines", "a\nstart x\ny end\nz", "/x\\ny/", 2, "start x\ny end"},
        {"empty match at a line start", "a\n\nb", "/^$/", 2, ""},
    };
    for (const auto& c : cases) {
        auto path = writeFile(dir / "f.txt", c.content);
        EXPECT_EQ(searchFile(c.needle, path), (Hit{path.string(), c.line, c.preview})) << c.what;
    }
    // Documents too: the extracted text is searched, not lower-cased.
    auto pdf = documentFixture("budget-report.pdf").string();
    EXPECT_EQ(
        searchFile("/summer \\w+ campaign/", pdf),
        (Hit{pdf, 2, "The budget for the summer \xC3\x89T\xC3\x89 campaign is settled.1 Noted."}));
}

TEST(ContentSearcher, HitsAreSortedByComposedPath) {
    TempDir dir;
    auto decomposed = writeFile(dir / "e\xCC\x81.txt", "needle"); // é as e + combining mark
    auto b = writeFile(dir / "b.txt", "needle");
    auto f = writeFile(dir / "f.txt", "needle");
    auto none = writeFile(dir / "a.txt", "nothing");
    std::vector<std::string> paths = {decomposed, f, none, b, f};
    // In scalar order of the composed text "é" comes after "f", though its bytes do not.
    EXPECT_THAT(search("needle", paths),
                ElementsAre(Field(&Hit::path, b.string()), Field(&Hit::path, f.string()),
                            Field(&Hit::path, f.string()), Field(&Hit::path, decomposed.string())));
}

TEST(ContentSearcher, ManyFilesInParallelGiveTheSameAnswer) {
    TempDir dir;
    std::vector<std::string> paths;
    std::vector<Hit> expected;
    for (int i = 0; i < 300; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%03d.txt", i);
        std::string content(static_cast<std::size_t>(i) * 7, 'a');
        if (i % 3 == 0) content += "\nNeedle " + std::to_string(i);
        paths.push_back(writeFile(dir / name, content).string());
        if (i % 3 == 0) expected.push_back({paths.back(), 2, "Needle " + std::to_string(i)});
    }
    // Documents too, several read at the same time.
    for (int i = 0; i < 8; ++i) {
        paths.push_back(documentFixture("budget-report.xlsx").string());
        paths.push_back(documentFixture("budget-report.pdf").string());
    }
    std::reverse(paths.begin(), paths.end());
    EXPECT_EQ(search("needle", paths), expected);
}

TEST(ContentSearcher, FindsTheFixtureDocumentsHoldingAWord) {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(documentFixture(""))) {
        paths.push_back(entry.path().string());
    }
    std::vector<std::string> found;
    for (const Hit& hit : search("budget", paths)) {
        found.push_back(std::filesystem::path(hit.path).filename());
    }
    // Not the damaged archive, the one claiming a huge entry, the binary file or the
    // OpenDocument file (a zip read as raw bytes: binary).
    EXPECT_THAT(found, ElementsAre("budget-report.docx", "budget-report.pages", "budget-report.pdf",
                                   "budget-report.pptx", "budget-report.xlsx", "make-fixtures"));
}

TEST(ContentSearcher, UntrustedCandidatesNeitherBlockNorEscapeTheCaps) {
    TempDir dir;
    makeFifo(dir / "x.txt");
    makeFifo(dir / "x.pdf");
    // A link to a large file that holds the needle right at its start.
    auto large = writeFile(dir / "large.bin", "needle");
    std::filesystem::resize_file(large, 100 << 20);
    std::filesystem::create_symlink(large, dir / "link.txt");
    std::filesystem::create_symlink(documentFixture("budget-report.pdf"), dir / "link.pdf");
    std::filesystem::create_directory(dir / "folder.txt");
    std::vector<std::string> paths;
    for (const char* name : {"x.txt", "x.pdf", "link.txt", "link.pdf", "folder.txt"}) {
        paths.push_back((dir / name).string());
    }
    EXPECT_THAT(search("needle", paths), IsEmpty());
    EXPECT_THAT(search("budget", paths), IsEmpty());
    EXPECT_THAT(search("/budget|needle/", paths), IsEmpty());
}

using Finished = std::pair<std::int64_t, bool>;

// Waits for onFinished of a deep search and keeps what it reported.
struct DeepSearchProbe {
    std::mutex mutex;
    std::condition_variable done;
    std::vector<Hit> hits;
    std::optional<std::pair<std::int64_t, bool>> finished;
    bool hitAfterFinish = false;
    std::thread::id finishedOn;

    std::function<void(const Hit&)> onHit() {
        return [this](const Hit& hit) {
            std::lock_guard lock(mutex);
            if (finished) hitAfterFinish = true;
            hits.push_back(hit);
        };
    }
    std::function<void(std::int64_t, bool)> onFinished() {
        return [this](std::int64_t files, bool cancelled) {
            std::lock_guard lock(mutex);
            finished = {files, cancelled};
            finishedOn = std::this_thread::get_id();
            done.notify_all();
        };
    }
    std::pair<std::int64_t, bool> wait() {
        std::unique_lock lock(mutex);
        done.wait(lock, [&] { return finished.has_value(); });
        return *finished;
    }
};

TEST(ContentSearcher, DeepSearchReportsThroughItsCallbacks) {
    TempDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) {
        paths.push_back(
            writeFile(dir / (std::to_string(i) + ".txt"), i % 4 == 0 ? "x\nA NEEDLE" : "hay")
                .string());
    }
    paths.push_back(documentFixture("budget-report.docx").string());

    DeepSearchProbe probe;
    ContentSearcher::deepSearch(
        "Needle", paths, [] { return false; }, probe.onHit(), probe.onFinished());
    EXPECT_EQ(probe.wait(), Finished(41, false));
    EXPECT_THAT(probe.hits, SizeIs(10));
    for (const Hit& hit : probe.hits)
        EXPECT_EQ(hit.preview, "A NEEDLE");
    EXPECT_FALSE(probe.hitAfterFinish);

    DeepSearchProbe expression;
    ContentSearcher::deepSearch(
        "/quarterly|figures/", paths, [] { return false; }, expression.onHit(),
        expression.onFinished());
    EXPECT_EQ(expression.wait(), Finished(41, false));
    EXPECT_THAT(expression.hits, ElementsAre(Field(&Hit::line, 1)));
}

TEST(ContentSearcher, DeepSearchCancellation) {
    TempDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 200; ++i) {
        paths.push_back(writeFile(dir / (std::to_string(i) + ".txt"), "needle").string());
    }

    DeepSearchProbe before;
    ContentSearcher::deepSearch(
        "needle", paths, [] { return true; }, before.onHit(), before.onFinished());
    EXPECT_EQ(before.wait(), Finished(0, true));
    EXPECT_THAT(before.hits, IsEmpty());

    // Cancelled after the fifth hit: fewer files examined, no hit reported once cancelled.
    DeepSearchProbe during;
    std::atomic<int> reported{0};
    std::atomic<bool> cancelled{false};
    ContentSearcher::deepSearch(
        "needle", paths, [&] { return cancelled.load(); },
        [&, onHit = during.onHit()](const Hit& hit) {
            onHit(hit);
            if (++reported == 5) cancelled = true;
        },
        during.onFinished());
    auto [files, wasCancelled] = during.wait();
    EXPECT_TRUE(wasCancelled);
    EXPECT_LT(files, 200);
    EXPECT_GE(files, 5);
    EXPECT_LE(during.hits.size(), static_cast<std::size_t>(files));
    EXPECT_FALSE(during.hitAfterFinish);

    // An empty needle finishes at once, on the calling thread.
    DeepSearchProbe empty;
    ContentSearcher::deepSearch(
        "", paths, [] { return false; }, empty.onHit(), empty.onFinished());
    ASSERT_TRUE(empty.finished);
    EXPECT_EQ(*empty.finished, Finished(0, false));
    EXPECT_EQ(empty.finishedOn, std::this_thread::get_id());
}

} // namespace
} // namespace ulmaro
