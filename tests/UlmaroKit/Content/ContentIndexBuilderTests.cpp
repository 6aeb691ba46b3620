#include "UlmaroKit/Content/ContentIndexBuilder.h"
#include "UlmaroKit/Platform/AtomicFile.h"
#include "support/TempDir.h"

#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>

namespace ulmaro {
namespace {

using Builder = ContentIndexBuilder;

void makeFile(const std::filesystem::path& p, std::string_view text, double mtime = 0) {
    std::filesystem::create_directories(p.parent_path());
    writeFileAtomically(p, text);
    if (mtime > 0) {
        timespec times[2];
        times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(mtime);
        times[0].tv_nsec = times[1].tv_nsec =
            static_cast<long>((mtime - static_cast<double>(static_cast<time_t>(mtime))) * 1e9);
        ::utimensat(AT_FDCWD, p.c_str(), times, 0);
    }
}

// An extractor that returns the file's name in upper case and counts its calls.
struct FakeExtract {
    std::shared_ptr<std::atomic<int>> calls = std::make_shared<std::atomic<int>>(0);
    Builder::Extract fn() const {
        auto c = calls;
        return [c](const std::string& path) -> std::optional<std::string> {
            c->fetch_add(1);
            auto name = std::filesystem::path(path).filename().string();
            if (name.starts_with("empty")) return std::string();
            return "TEXT OF " + name;
        };
    }
};

std::vector<std::string> pathsOf(const ContentIndex& index) {
    std::vector<std::string> out;
    for (const auto& d : index.documents())
        out.push_back(d.path);
    return out;
}

TEST(ContentIndexBuilder, FindsDocumentsSkippingHiddenAndBuildFolders) {
    test::TempDir dir;
    auto root = dir / "docs";
    makeFile(root / "a.PDF", "x");
    makeFile(root / "notes.md", "x");
    makeFile(root / "image.png", "x");
    makeFile(root / ".hidden" / "secret.txt", "x");
    makeFile(root / ".dot.txt", "x");
    makeFile(root / "node_modules" / "pkg.txt", "x");
    makeFile(root / "build" / "out.txt", "x");
    makeFile(root / "Build" / "kept.txt", "x");
    makeFile(root / "deck.key" / "inner.txt", "x"); // a package folder is listed and entered
    auto found = Builder::files(root.string(), {});
    std::sort(found.begin(), found.end());
    auto r = root.string();
    EXPECT_EQ(found, (std::vector<std::string>{r + "/Build/kept.txt", r + "/a.PDF", r + "/deck.key",
                                               r + "/deck.key/inner.txt", r + "/notes.md"}));
    EXPECT_TRUE(Builder::files((dir / "missing").string(), {}).empty());
    EXPECT_TRUE(Builder::files(root.string(), [] { return true; }).empty());
}

TEST(ContentIndexBuilder, BuildsInFoundOrderAndReportsProgress) {
    test::TempDir dir;
    for (int i = 0; i < 60; ++i)
        makeFile(dir / "f" / ("doc" + std::to_string(100 + i) + ".pdf"), "x");
    makeFile(dir / "f" / "empty.pdf", "x");
    makeFile(dir / "f" / "zero.pdf", "");
    std::mutex m;
    std::vector<Builder::Progress> reports;
    FakeExtract extract;
    auto folder = (dir / "f").string();
    auto index = Builder::build(
        {folder, folder}, nullptr, [] { return false; },
        [&](const Builder::Progress& p) {
            std::lock_guard lock(m);
            reports.push_back(p);
        },
        Builder::TextBudget::standard, extract.fn());
    // Each path once, in the order the walk found them.
    auto expectedOrder = Builder::files(folder, {});
    std::erase_if(expectedOrder, [](const std::string& p) {
        return p.find("/empty") != std::string::npos || p.find("/zero") != std::string::npos;
    });
    EXPECT_EQ(pathsOf(index), expectedOrder);
    EXPECT_EQ(index.documents().size(), 60u);
    EXPECT_EQ(extract.calls->load(), 61); // the zero-byte file is never handed over
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[2], (Builder::Progress{62, 60, index.textBytes()}));
    EXPECT_EQ(index.search("text of doc100.pdf", 5).size(), 1u);
    EXPECT_EQ(index.deadBytes(), 0);
}

TEST(ContentIndexBuilder, EmptyAndRelativeFolderNamesAreSkipped) {
    test::TempDir dir;
    makeFile(dir / "docs" / "a.pdf", "x");
    // Relative to the working folder, the docs would be found twice more.
    struct WorkingFolder {
        std::filesystem::path before = std::filesystem::current_path();
        explicit WorkingFolder(const std::filesystem::path& at) {
            std::filesystem::current_path(at);
        }
        ~WorkingFolder() { std::filesystem::current_path(before); }
    } working(dir.path());
    FakeExtract extract;
    ContentIndex index;
    EXPECT_NO_THROW(index = Builder::build({"", "docs", "./docs", (dir / "docs").string()}, nullptr,
                                           {}, {}, Builder::TextBudget::standard, extract.fn()));
    EXPECT_EQ(pathsOf(index), (std::vector<std::string>{(dir / "docs" / "a.pdf").string()}));
    EXPECT_TRUE(Builder::files("", {}).empty());
    EXPECT_TRUE(Builder::files("docs", {}).empty());
}

TEST(ContentIndexBuilder, ReusesUnchangedTextsAndRereadsChangedOnesEitherWay) {
    test::TempDir dir;
    makeFile(dir / "same.pdf", "x", 1000.0);
    makeFile(dir / "newer.pdf", "x", 1000.002);
    makeFile(dir / "older.pdf", "x", 900.0);
    makeFile(dir / "tiny.pdf", "x", 1000.0005);
    ContentIndex previous;
    for (auto name : {"same.pdf", "newer.pdf", "older.pdf", "tiny.pdf"})
        previous.upsert((dir / name).string(), 1000.0, std::string("old text of ") + name);
    FakeExtract extract;
    auto index = Builder::build({dir.path().string()}, &previous, {}, {},
                                Builder::TextBudget::standard, extract.fn());
    EXPECT_EQ(extract.calls->load(), 2);
    ASSERT_EQ(index.documents().size(), 4u);
    for (const auto& doc : index.documents()) {
        auto name = std::filesystem::path(doc.path).filename().string();
        std::string text(index.blob().begin() + doc.offset,
                         index.blob().begin() + doc.offset + doc.length);
        bool reused = name == "same.pdf" || name == "tiny.pdf";
        EXPECT_EQ(text, reused ? "old text of " + name : "text of " + name);
        if (reused) {
            EXPECT_EQ(doc.modified, 1000.0);
        }
    }
}

TEST(ContentIndexBuilder, CancellationReturnsWhatWasGathered) {
    test::TempDir dir;
    makeFile(dir / "a.pdf", "x");
    std::vector<Builder::Progress> reports;
    auto index = Builder::build(
        {dir.path().string()}, nullptr, [] { return true; },
        [&](const Builder::Progress& p) { reports.push_back(p); }, Builder::TextBudget::standard,
        FakeExtract().fn());
    EXPECT_TRUE(index.isEmpty());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], (Builder::Progress{0, 0, 0}));
}

TEST(ContentTextBudget, KeepsTheNewestRunThatFits) {
    using C = Builder::Candidate;
    auto standard = Builder::TextBudget::standard;
    EXPECT_EQ(Builder::keptWithinBudget({{"/old", 1, 30000000},
                                         {"/new", 3, 30000000},
                                         {"/mid", 2, 30000000},
                                         {"/oldest", 0, 10}},
                                        standard),
              (std::unordered_set<std::string>{"/new"}));
    std::vector<C> many;
    for (int i = 0; i < 10001; ++i)
        many.push_back({"/f" + std::to_string(i), double(i), 1});
    auto kept = Builder::keptWithinBudget(many, standard);
    EXPECT_EQ(kept.size(), 10000u);
    EXPECT_FALSE(kept.contains("/f0"));
    EXPECT_EQ(Builder::keptWithinBudget({{"/b", 5, 10}, {"/a", 5, 10}}, {1, 100}),
              (std::unordered_set<std::string>{"/a"}));
    EXPECT_TRUE(Builder::keptWithinBudget({{"/a", 1, 1}}, {0, 100}).empty());
}

TEST(ContentTextBudget, AdmitsNewFilesAgainstStoredDocuments) {
    test::TempDir dir;
    auto fresh = (dir / "fresh.txt").string();
    makeFile(fresh, std::string(40, 'n'), 5000);
    makeFile(dir / "empty.txt", "", 5000);
    ContentIndex index;
    index.upsert("/stored/old.txt", 100, std::string(40, 'o'));
    index.upsert("/stored/older.csv", 50, std::string(40, 'o'));
    index.upsert("/stored/report.pdf", 1, std::string(500, 'p'));
    auto admission = Builder::withinTextBudget(
        {fresh, (dir / "empty.txt").string(), "/missing/x.md", "/a/b.pdf"}, index, {10, 90});
    EXPECT_EQ(admission.paths, (std::vector<std::string>{fresh, (dir / "empty.txt").string(),
                                                         "/missing/x.md", "/a/b.pdf"}));
    EXPECT_EQ(admission.displaced, (std::unordered_set<std::string>{"/stored/older.csv"}));

    EXPECT_FALSE(Builder::enforceTextBudget(index, {10, 1000}));
    EXPECT_TRUE(Builder::enforceTextBudget(index, {1, 1000}));
    std::vector<std::string> left;
    for (const auto& d : index.documents())
        left.push_back(d.path);
    EXPECT_EQ(left, (std::vector<std::string>{"/stored/old.txt", "/stored/report.pdf"}));
    EXPECT_EQ(index.deadBytes(), 40);
}

TEST(ContentTextBudget, BuildTurnsAwayPlainTextThatDoesNotFit) {
    test::TempDir dir;
    makeFile(dir / "new.txt", std::string(60, 'a'), 3000);
    makeFile(dir / "old.txt", std::string(60, 'b'), 2000);
    makeFile(dir / "doc.pdf", std::string(60, 'c'), 1000);
    FakeExtract extract;
    auto index = Builder::build({dir.path().string()}, nullptr, {}, {}, {10, 100}, extract.fn());
    std::vector<std::string> names;
    for (const auto& d : index.documents())
        names.push_back(std::filesystem::path(d.path).filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"doc.pdf", "new.txt"}));
    EXPECT_EQ(extract.calls->load(), 2); // the old text file was never read
}

TEST(ContentTextBudget, OnlyWhatExtractionReadsTakesTheBudget) {
    test::TempDir dir;
    makeFile(dir / "a.txt", "alpha", 1000);
    makeFile(dir / "b.txt", "beta", 2000);
    // Links and FIFOs are never read, so they must not push real documents out.
    std::filesystem::create_symlink(dir / "a.txt", dir / "la.txt");
    std::filesystem::create_symlink(dir / "b.txt", dir / "lb.txt");
    ASSERT_EQ(::mkfifo((dir / "pipe.txt").c_str(), 0644), 0);
    auto index = Builder::build({dir.path().string()}, nullptr, {}, {}, {2, 1000});
    auto paths = pathsOf(index);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths,
              (std::vector<std::string>{(dir / "a.txt").string(), (dir / "b.txt").string()}));
}

} // namespace
} // namespace ulmaro
