#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Scanning/CatchUpSweep.h"
#include "UlmaroKit/Scanning/DirectoryScanner.h"
#include "support/TempDir.h"

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using ::testing::ElementsAreArray;

void write(const fs::path& path, std::string_view text = "x") {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::uint64_t nowID() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          std::chrono::system_clock::now().time_since_epoch())
                                          .count());
}

// Sets a path's access and modification times to a day in 2001; ctime moves to now.
void backdate(const fs::path& path) {
    const timespec old[2] = {{978307200, 0}, {978307200, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, AT_SYMLINK_NOFOLLOW), 0);
}

// A small tree, indexed, then changed by each case while nobody watched.
struct Fixture {
    TempDir dir;
    fs::path root = dir / "tree";
    std::shared_ptr<const IndexStore> store;
    std::uint64_t since = 0;

    explicit Fixture(const ScanPolicy& policy = ScanPolicy({})) {
        write(root / "a.txt");
        write(root / "docs" / "b.md");
        write(root / "docs" / "old" / "c.md");
        write(root / "skip" / "d.txt");
        fs::create_directories(root / "empty");
        since = nowID();
        DirectoryScanner scanner(policy, 3, 0, "/nonexistent-home");
        scanner.setUnenterableMountPoints({});
        ScanResult result = scanner.scan(root.string(), 0);
        const std::vector<VolumeEntry> volumes{{"test", root.string(), 0, true}};
        IndexWriter::write(result.builder, volumes, dir / "index.bin");
        store = loadIndex(dir / "index.bin").store;
    }

    std::optional<std::vector<std::string>> sweep(const ScanPolicy& policy = ScanPolicy({}),
                                                  CatchUpSweep::Options options = {}) const {
        return CatchUpSweep::changesSince(*store, root.string(), policy, since, options);
    }
    std::string at(std::string_view relative) const { return (root / relative).string(); }
};

TEST(CatchUpSweep, ReplaysWhatChangedWhileNobodyWatched) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> change;
        std::vector<std::string> expected; // relative to the root, sorted per folder
    };
    const std::vector<Case> cases{
        {"nothing", [](const fs::path&) {}, {}},
        {"a file created and one deleted",
         [](const fs::path& r) {
             write(r / "docs" / "new.md");
             fs::remove(r / "a.txt");
         },
         {"a.txt", "docs/new.md"}},
        {"a file renamed",
         [](const fs::path& r) { fs::rename(r / "a.txt", r / "z.txt"); },
         {"a.txt", "z.txt"}},
        {"a folder created with what it holds",
         [](const fs::path& r) {
             write(r / "empty" / "fresh" / "deep" / "e.txt");
             write(r / "empty" / "f.txt");
         },
         {"empty/f.txt", "empty/fresh", "empty/fresh/deep", "empty/fresh/deep/e.txt"}},
        {"a folder deleted: its path stands for what it held",
         [](const fs::path& r) { fs::remove_all(r / "docs" / "old"); },
         {"docs/old"}},
        {"a folder renamed",
         [](const fs::path& r) { fs::rename(r / "docs" / "old", r / "docs" / "older"); },
         {"docs/old", "docs/older", "docs/older/c.md"}},
        {"a file replaced by a folder",
         [](const fs::path& r) {
             fs::remove(r / "a.txt");
             write(r / "a.txt" / "inner");
         },
         {"a.txt", "a.txt/inner"}},
        {"a tree unpacked with old times, the folder it went into too",
         [](const fs::path& r) {
             write(r / "docs" / "pkg" / "lib" / "g.c");
             for (const char* p : {"docs/pkg/lib/g.c", "docs/pkg/lib", "docs/pkg", "docs"})
                 backdate(r / p);
         },
         {"docs/pkg", "docs/pkg/lib", "docs/pkg/lib/g.c"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f;
        c.change(f.root);
        std::vector<std::string> expected;
        for (const auto& relative : c.expected)
            expected.push_back(f.at(relative));
        auto paths = f.sweep();
        ASSERT_TRUE(paths.has_value());
        std::sort(paths->begin(), paths->end());
        std::sort(expected.begin(), expected.end());
        EXPECT_THAT(*paths, ElementsAreArray(expected));
    }
}

// What a scan would not enter stays out: the excluded folder's inside, and whatever lies
// below a new folder the policy refuses.
TEST(CatchUpSweep, KeepsToWhatTheScanEntered) {
    Fixture f;
    const ScanPolicy policy({f.at("skip"), f.at("docs/new/private")});
    write(f.root / "skip" / "hidden.txt");
    write(f.root / "docs" / "new" / "private" / "secret.txt");
    write(f.root / "docs" / "new" / "open.txt");
    auto paths = f.sweep(policy);
    ASSERT_TRUE(paths.has_value());
    std::sort(paths->begin(), paths->end());
    EXPECT_THAT(*paths, ElementsAreArray({f.at("docs/new"), f.at("docs/new/open.txt"),
                                          f.at("docs/new/private")}));
}

// Only folders that changed since the ID are read: an ID long after the changes (less the
// slack) finds nothing, even though the index misses them.
TEST(CatchUpSweep, ReadsOnlyFoldersChangedSinceTheID) {
    Fixture f;
    write(f.root / "docs" / "new.md");
    CatchUpSweep::Options options;
    options.slackSeconds = 1;
    options.nowNanoseconds = f.since + 3'600'000'000'000ull;
    auto paths = CatchUpSweep::changesSince(*f.store, f.root.string(), ScanPolicy({}),
                                            f.since + 1'800'000'000'000ull, options);
    ASSERT_TRUE(paths.has_value());
    EXPECT_TRUE(paths->empty());
}

TEST(CatchUpSweep, WhatTheOwnerDropsIsNeitherListedNorCounted) {
    Fixture f;
    for (int k = 0; k < 50; ++k) {
        const std::string number = std::to_string(k);
        write(f.root / "docs" / "cache" / number);
        write(f.root / "docs" / "old" / (number + ".tmp"));
    }
    write(f.root / "docs" / "kept.md");
    CatchUpSweep::Options options;
    options.cap = 3;
    options.drops = [](std::string_view path) { return path.ends_with(".tmp"); };
    options.dropsInside = [](std::string_view folder) { return folder.ends_with("/cache"); };
    const auto paths = f.sweep(ScanPolicy({}), options);
    ASSERT_TRUE(paths.has_value()) << "a hundred dropped paths do not count against a cap of 3";
    EXPECT_THAT(*paths, ElementsAreArray({f.at("docs/cache"), f.at("docs/kept.md")}));
}

TEST(CatchUpSweep, CannotTell) {
    Fixture f;
    for (char c : std::string_view("vwxyz"))
        write(f.root / "docs" / std::string(1, c));

    CatchUpSweep::Options small;
    small.cap = 4;
    EXPECT_FALSE(f.sweep(ScanPolicy({}), small).has_value()) << "more changes than the cap";

    CatchUpSweep::Options setBack;
    setBack.nowNanoseconds = f.since - 1;
    EXPECT_FALSE(f.sweep(ScanPolicy({}), setBack).has_value()) << "an ID ahead of the clock";

    EXPECT_FALSE(CatchUpSweep::changesSince(*f.store, f.at("nowhere"), ScanPolicy({}), f.since, {})
                     .has_value())
        << "a root the index does not hold";

    std::atomic<bool> cancelled{true};
    EXPECT_FALSE(CatchUpSweep::changesSince(*f.store, f.root.string(), ScanPolicy({}), f.since, {},
                                            &cancelled)
                     .has_value());
}

} // namespace
} // namespace ulmaro
