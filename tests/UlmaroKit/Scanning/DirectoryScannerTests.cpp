#include "UlmaroKit/Scanning/DirectoryScanner.h"
#include "UlmaroKit/Scanning/DirectoryScannerEntries.h"
#include "support/TempDir.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAreArray;

constexpr RecordFlags dirFlag = RecordFlags::isDirectory;
constexpr RecordFlags hidden = RecordFlags::isHidden;
constexpr RecordFlags symlink = RecordFlags::isSymlink;
constexpr RecordFlags app = RecordFlags::isApp;
constexpr RecordFlags noFlags{};

// Written with append: GCC 12 warns falsely about "x" + std::to_string(i).
std::string numbered(std::string_view prefix, int i) {
    std::string name(prefix);
    name += std::to_string(i);
    return name;
}

void touch(const fs::path& path) {
    std::ofstream(path).put('x');
}

DirectoryScanner scannerFor(int seedDepth, std::string home = "/nonexistent-home",
                            ScanPolicy::PathSet excluded = {}) {
    DirectoryScanner scanner(ScanPolicy(std::move(excluded)), seedDepth, 0, std::move(home));
    scanner.setUnenterableMountPoints({});
    return scanner;
}

std::string pathOf(const IndexBuilder& builder, std::uint32_t id) {
    std::vector<std::string_view> names;
    for (; builder.records[id].parentID != FileRecord::rootParentID;
         id = builder.records[id].parentID)
        names.push_back(builder.nameBytes(id));
    if (names.empty()) return "/";
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it)
        path.append("/").append(*it);
    return path;
}

// Every record below the chain, as "path flags".
std::map<std::string, std::uint8_t> entriesOf(const ScanResult& result) {
    std::map<std::string, std::uint8_t> entries;
    for (std::uint32_t id = 0; id < result.builder.count(); ++id)
        entries[pathOf(result.builder, id)] = result.builder.records[id].flags.rawValue;
    return entries;
}

std::uint8_t flagsAt(const ScanResult& result, const fs::path& path) {
    auto entries = entriesOf(result);
    auto it = entries.find(path.string());
    return it == entries.end() ? 0xFF : it->second;
}

bool recorded(const ScanResult& result, const fs::path& path) {
    return entriesOf(result).contains(path.string());
}

// The record order, computed the plain way: the first `seedDepth` levels breadth-first,
// then each folder below them depth-first with a stack. Folders are listed with readdir.
std::vector<std::string> expectedOrder(const std::string& root, int seedDepth) {
    std::vector<std::string> order;
    auto read = [&](const std::string& path) {
        std::vector<std::string> subdirectories;
        DIR* d = ::opendir(path.c_str());
        if (d == nullptr) return subdirectories;
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            order.push_back(path + "/" + name);
            if (e->d_type == DT_DIR && !name.ends_with(".noindex"))
                subdirectories.push_back(path + "/" + name);
        }
        ::closedir(d);
        return subdirectories;
    };
    std::vector<std::string> frontier{root};
    for (int level = 0; level < seedDepth && !frontier.empty(); ++level) {
        std::vector<std::string> next;
        for (const std::string& d : frontier) {
            auto subdirectories = read(d);
            next.insert(next.end(), subdirectories.begin(), subdirectories.end());
        }
        frontier = std::move(next);
    }
    for (const std::string& top : frontier) {
        std::vector<std::string> stack{top};
        while (!stack.empty()) {
            std::string d = stack.back();
            stack.pop_back();
            auto subdirectories = read(d);
            stack.insert(stack.end(), subdirectories.begin(), subdirectories.end());
        }
    }
    return order;
}

std::vector<std::string> actualOrder(const ScanResult& result, std::size_t chainLength) {
    std::vector<std::string> order;
    for (std::uint32_t id = static_cast<std::uint32_t>(chainLength); id < result.builder.count();
         ++id)
        order.push_back(pathOf(result.builder, id));
    return order;
}

std::size_t chainLengthOf(const fs::path& root) {
    return static_cast<std::size_t>(std::distance(root.begin(), root.end()));
}

std::size_t openDescriptors() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// A few levels of folders of uneven size and depth.
void makeTree(const fs::path& root) {
    for (int a = 0; a < 4; ++a) {
        fs::path top = root / numbered("top", a);
        fs::create_directories(top);
        touch(top / "file.txt");
        for (int b = 0; b < a * 2; ++b) {
            fs::path mid = top / numbered("mid", b);
            fs::create_directories(mid / "deep" / "deeper" / "deepest");
            touch(mid / "deep" / "deeper" / "deepest" / "leaf");
            for (int c = 0; c < b; ++c)
                touch(mid / numbered("f", c));
        }
    }
    fs::create_directories(root / "skip.noindex" / "inner");
    fs::create_directories(root / ".hidden" / "x");
}

TEST(DirectoryScanner, RootChainForANestedRoot) {
    TempDir tmp;
    fs::create_directories(tmp / "Users" / "me" / "sub");
    touch(tmp / "Users" / "me" / "a.txt");
    const fs::path root = tmp / "Users" / "me";
    ScanResult result = scannerFor(3).scan(root.string() + "/", 0);

    const std::size_t chain = chainLengthOf(root);
    const IndexBuilder& b = result.builder;
    ASSERT_EQ(b.count(), chain + 2);
    EXPECT_EQ(b.nameBytes(0), "");
    EXPECT_EQ(b.records[0].parentID, FileRecord::rootParentID);
    for (std::uint32_t id = 1; id < chain; ++id) {
        EXPECT_EQ(b.records[id].parentID, id - 1);
        EXPECT_EQ(b.records[id].flags, dirFlag);
    }
    EXPECT_EQ(b.nameBytes(static_cast<std::uint32_t>(chain - 1)), "me");
    EXPECT_EQ(pathOf(b, static_cast<std::uint32_t>(chain - 1)), root.string());
    for (std::size_t id = chain; id < b.count(); ++id)
        EXPECT_EQ(b.records[id].parentID, chain - 1);
    EXPECT_EQ(result.entriesScanned, 2);
    EXPECT_EQ(result.directoriesDenied, 0);
    EXPECT_EQ(result.rootError, 0);
    EXPECT_FALSE(result.cancelled);
}

TEST(DirectoryScanner, RootChainForTheWholeDiskIsRecordZero) {
    // Stopped before the first folder: only the chain is left, and for "/" that is record 0.
    ScanResult result = scannerFor(3).scan("/", 7, nullptr, [] { return false; });
    ASSERT_EQ(result.builder.count(), 1u);
    EXPECT_EQ(result.builder.records[0].parentID, FileRecord::rootParentID);
    EXPECT_EQ(result.builder.records[0].flags, dirFlag);
    EXPECT_EQ(result.builder.records[0].volumeIndex, 7);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.entriesScanned, 0);
}

TEST(DirectoryScanner, RelativeRootsAreMadeAbsolute) {
    TempDir tmp;
    fs::create_directories(tmp / "a" / "b");
    touch(tmp / "a" / "b" / "f");
    const fs::path old = fs::current_path();
    fs::current_path(tmp / "a");
    ScanResult dot = scannerFor(3).scan(".", 0);
    ScanResult up = scannerFor(3).scan("b/../b/", 0);
    fs::current_path(old);
    EXPECT_TRUE(recorded(dot, tmp / "a" / "b" / "f"));
    EXPECT_TRUE(recorded(up, tmp / "a" / "b" / "f"));
    EXPECT_EQ(DirectoryScanner::absoluteRoot("/x/./y/../z//"), "/x/z");
    EXPECT_EQ(DirectoryScanner::absoluteRoot("/"), "/");
}

TEST(DirectoryScanner, FlagsFromTypeAndName) {
    TempDir tmp;
    const fs::path r = tmp.path();
    fs::create_directories(r / ".git" / "objects");
    touch(r / ".DS_Store");
    fs::create_directories(r / "target" / "inside");
    fs::create_directory_symlink(r / "target", r / "link");
    fs::create_symlink(r / "nowhere", r / ".hiddenlink");
    fs::create_directories(r / "Xcode.app" / "Contents");
    touch(r / "notes.app");
    touch(r / ".app");
    fs::create_directories(r / "share" / "applications");
    touch(r / "share" / "applications" / "editor.desktop");
    touch(r / "share" / "editor.desktop");
    touch(r / "Tool.AppImage");
    ::mkfifo((r / "pipe").c_str(), 0600);

    ScanResult result = scannerFor(1).scan(r.string(), 0);
    EXPECT_EQ(flagsAt(result, r / ".git"), (dirFlag | hidden).rawValue);
    EXPECT_TRUE(recorded(result, r / ".git" / "objects"));
    EXPECT_EQ(flagsAt(result, r / ".DS_Store"), hidden.rawValue);
    EXPECT_EQ(flagsAt(result, r / "link"), symlink.rawValue);
    EXPECT_FALSE(recorded(result, r / "link" / "inside"));
    EXPECT_EQ(flagsAt(result, r / ".hiddenlink"), (symlink | hidden).rawValue);
    EXPECT_EQ(flagsAt(result, r / "Xcode.app"), (dirFlag | app).rawValue);
    EXPECT_EQ(flagsAt(result, r / "Xcode.app" / "Contents"), dirFlag.rawValue);
    EXPECT_EQ(flagsAt(result, r / "notes.app"), app.rawValue);
    EXPECT_EQ(flagsAt(result, r / ".app"), hidden.rawValue);
    EXPECT_EQ(flagsAt(result, r / "share" / "applications" / "editor.desktop"), app.rawValue);
    EXPECT_EQ(flagsAt(result, r / "share" / "editor.desktop"), noFlags.rawValue);
    EXPECT_EQ(flagsAt(result, r / "Tool.AppImage"), app.rawValue);
    EXPECT_EQ(flagsAt(result, r / "pipe"), noFlags.rawValue);
    for (const FileRecord& record : result.builder.records) {
        EXPECT_EQ(record.size, 0u);
        EXPECT_EQ(record.mtime, 0u);
    }
}

TEST(DirectoryScanner, RefusedFoldersAreRecordedButNotEntered) {
    TempDir tmp;
    const fs::path r = tmp.path();
    for (const char* name : {"excluded", "Photos.noindex", "Backups.backupdb", "Disk.sparsebundle",
                             "2024-01-31-123456.backup", "mounted", "open"})
        fs::create_directories(r / name / "inner");
    DirectoryScanner scanner = scannerFor(0, "/none", {(r / "excluded").string()});
    scanner.setUnenterableMountPoints({(r / "mounted").string()});
    ScanResult result = scanner.scan(r.string(), 0);
    for (const char* name : {"excluded", "Photos.noindex", "Backups.backupdb", "Disk.sparsebundle",
                             "2024-01-31-123456.backup", "mounted"}) {
        EXPECT_EQ(flagsAt(result, r / name), dirFlag.rawValue) << name;
        EXPECT_FALSE(recorded(result, r / name / "inner")) << name;
    }
    EXPECT_TRUE(recorded(result, r / "open" / "inner"));

    // The root itself is never tested: an excluded root is walked.
    ScanResult excludedRoot =
        scannerFor(3, "/none", {(r / "excluded").string()}).scan((r / "excluded").string(), 0);
    EXPECT_TRUE(recorded(excludedRoot, r / "excluded" / "inner"));
}

TEST(DirectoryScanner, NamesAreBytes) {
    TempDir tmp;
    const fs::path r = tmp.path();
    const std::string latin1 = "caf\xe9";
    fs::create_directories(r / latin1 / "inner");
    touch(r / latin1 / "inner" / "f\xff");
    ScanResult result = scannerFor(0).scan(r.string(), 0);
    EXPECT_EQ(flagsAt(result, r / latin1 / "inner"), dirFlag.rawValue);
    EXPECT_EQ(flagsAt(result, r / latin1 / "inner" / "f\xff"), noFlags.rawValue);
}

TEST(DirectoryScanner, LongNamesAreCutButEnteredByTheirFullName) {
    // Linux file systems cap names at 255 bytes, so this feeds the scanner's entry list.
    DirectoryEntries entries;
    entries.start("r");
    const std::string longName(300, 'n');
    entries.add("first", EntryKind::regularFile);
    entries.add(longName, EntryKind::directory);
    entries.add(std::string(255, 'm'), EntryKind::directory);

    std::vector<std::pair<std::string, RecordFlags>> packed;
    DirectoryEntries::forEach(entries.packed(), [&](std::string_view name, RecordFlags flags) {
        packed.emplace_back(std::string(name), flags);
    });
    ASSERT_EQ(packed.size(), 3u);
    EXPECT_EQ(packed[1].first, longName.substr(0, 255));
    EXPECT_EQ(packed[1].second, dirFlag);
    EXPECT_EQ(packed[2].first.size(), 255u);
    EXPECT_EQ(entries.nameBytes(), 5u + 255 + 255);
    ASSERT_EQ(entries.subdirectories().size(), 2u);
    EXPECT_EQ(entries.subdirectories()[0].index, 1u);
    EXPECT_EQ(DirectoryEntries::fullName(entries.subdirectories()[0], entries.packed().data()),
              longName);
    EXPECT_EQ(DirectoryEntries::fullName(entries.subdirectories()[1], entries.packed().data()),
              std::string(255, 'm'));
}

TEST(DirectoryScanner, DescentRuleLooksAtThePathOnlyWhenTheNameCouldMatch) {
    const ScanPolicy policy(ScanPolicy::PathSet{"/r/skip"});
    const ScanPolicy::PathSet mounts{"/r/proc"};
    const DescentRule rule(policy, mounts, "/r");
    int built = 0;
    auto path = [&](std::string p) {
        return [&built, p] {
            ++built;
            return p;
        };
    };
    EXPECT_TRUE(rule.mayEnter("other", path("/r/other")));
    EXPECT_EQ(built, 0);
    EXPECT_FALSE(rule.mayEnter("skip", path("/r/skip")));
    EXPECT_FALSE(rule.mayEnter("proc", path("/r/proc")));
    EXPECT_TRUE(rule.mayEnter("skip", path("/r/a/skip")));
    EXPECT_FALSE(rule.mayEnter("x.noindex", path("/r/x.noindex")));
    const DescentRule underNoIndex(policy, mounts, "/r/y.noindex/z");
    EXPECT_FALSE(underNoIndex.mayEnter("other", path("/r/y.noindex/z/other")));
}

TEST(DirectoryScanner, RecordOrderFollowsTheTreeNotTheThreads) {
    TempDir tmp;
    const fs::path r = tmp / "root";
    makeTree(r);
    std::set<std::map<std::string, std::uint8_t>> sets;
    for (int seedDepth : {0, 1, 2, 3, 5}) {
        const std::vector<std::string> expected = expectedOrder(r.string(), seedDepth);
        for (int run = 0; run < 3; ++run) {
            ScanResult result = scannerFor(seedDepth).scan(r.string(), 0);
            ASSERT_EQ(actualOrder(result, chainLengthOf(r)), expected)
                << "seed depth " << seedDepth;
            for (std::uint32_t id = 1; id < result.builder.count(); ++id)
                ASSERT_LT(result.builder.records[id].parentID, id);
            sets.insert(entriesOf(result));
        }
    }
    EXPECT_EQ(sets.size(), 1u);
}

TEST(DirectoryScanner, WorksWithFewDescriptorsAndLeavesNoneOpen) {
    TempDir tmp;
    const fs::path r = tmp / "root";
    makeTree(r);
    fs::path deep = r;
    // A level whose sides are read before its next level waits for them while the walk
    // goes deep: more folders wait at once than descriptors may be kept, so some open by
    // their whole path.
    for (int i = 0; i < 40; ++i) {
        for (const char* side : {"a", "b", "c"})
            fs::create_directories(deep / numbered(side, i));
        fs::create_directories(deep /= numbered("level", i));
    }
    const std::vector<std::string> expected = expectedOrder(r.string(), 3);
    const std::size_t before = openDescriptors();

    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
    rlimit few = old;
    few.rlim_cur = std::min<rlim_t>(old.rlim_cur, before + 70); // keep only three folders
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &few), 0);
    ScanResult result = scannerFor(3).scan(r.string(), 0);
    ::setrlimit(RLIMIT_NOFILE, &old);

    EXPECT_EQ(actualOrder(result, chainLengthOf(r)), expected);
    EXPECT_EQ(result.directoriesDenied, 0);
    EXPECT_EQ(openDescriptors(), before);
}

TEST(DirectoryScanner, UnreadableFoldersAreCountedAndClassified) {
    TempDir tmp;
    const fs::path home = tmp / "home";
    std::vector<std::string> inHomeEperm;
    for (int i = 0; i < 20; ++i) {
        fs::create_directories(home / numbered("p", i) / "never");
        inHomeEperm.push_back((home / numbered("p", i)).string());
    }
    fs::create_directories(home / "acces");
    fs::create_directories(tmp / "outside");
    fs::create_directories(tmp / "homeless"); // shares the home's prefix, is not in it
    DirectoryScanner scanner = scannerFor(1, home.string() + "/");
    scanner.setFaultInjection({.openError = [&](std::string_view path) {
        if (path.ends_with("/acces")) return EACCES;
        if (path.ends_with("/outside") || path.ends_with("/homeless")) return EPERM;
        if (path.find("/home/p") != std::string_view::npos && !path.ends_with("never"))
            return EPERM;
        return 0;
    }});
    ScanResult result = scanner.scan(tmp.path().string(), 0);
    EXPECT_EQ(result.directoriesDenied, 23);
    EXPECT_EQ(result.directoriesDeniedInHome, 20);
    ASSERT_EQ(result.deniedPathsInHome.size(), DirectoryScanner::deniedSampleCap);
    // The sample keeps the folders in the order the walk meets them, whatever the threads
    // did: below the seeded levels a folder's subfolders are met from the last read to the
    // first, so here in the reverse of their records' order.
    std::vector<std::string> met;
    for (std::uint32_t id = 0; id < result.builder.count(); ++id) {
        std::string path = pathOf(result.builder, id);
        if (std::find(inHomeEperm.begin(), inHomeEperm.end(), path) != inHomeEperm.end())
            met.insert(met.begin(), path);
    }
    met.resize(DirectoryScanner::deniedSampleCap);
    EXPECT_EQ(result.deniedPathsInHome, met);
    EXPECT_FALSE(recorded(result, home / "p0" / "never"));
    EXPECT_TRUE(DirectoryScanner::isFixableDenial(EPERM));
    EXPECT_FALSE(DirectoryScanner::isFixableDenial(EACCES));
}

TEST(DirectoryScanner, AReadErrorMidListingCountsAsUnreadable) {
    TempDir tmp;
    fs::create_directories(tmp / "bad");
    touch(tmp / "bad" / "kept");
    DirectoryScanner scanner = scannerFor(0);
    scanner.setFaultInjection(
        {.readError = [](std::string_view path) { return path.ends_with("/bad") ? EIO : 0; }});
    ScanResult result = scanner.scan(tmp.path().string(), 0);
    EXPECT_EQ(result.directoriesDenied, 1);
    EXPECT_TRUE(recorded(result, tmp / "bad" / "kept"));
    EXPECT_EQ(result.rootError, 0);
}

TEST(DirectoryScanner, AnUnreadableRootIsReported) {
    TempDir tmp;
    ScanResult missing = scannerFor(3).scan((tmp / "missing").string(), 0);
    EXPECT_EQ(missing.rootError, ENOENT);
    EXPECT_EQ(missing.builder.count(), chainLengthOf(tmp / "missing"));
    EXPECT_EQ(missing.entriesScanned, 0);
    EXPECT_EQ(missing.directoriesDenied, 1);

    touch(tmp / "file");
    EXPECT_EQ(scannerFor(3).scan((tmp / "file").string(), 0).rootError, ENOTDIR);

    fs::create_directories(tmp / "dir");
    touch(tmp / "dir" / "f");
    DirectoryScanner failing = scannerFor(3);
    failing.setFaultInjection({.readError = [](std::string_view) { return EIO; }});
    EXPECT_EQ(failing.scan((tmp / "dir").string(), 0).rootError, EIO);
}

TEST(DirectoryScanner, CancellingKeepsWhatWasRead) {
    TempDir tmp;
    makeTree(tmp / "root");
    const std::size_t before = openDescriptors();
    std::atomic<int> asked{0};
    ScanResult result = scannerFor(1).scan((tmp / "root").string(), 0, nullptr,
                                           [&] { return asked.fetch_add(1) < 3; });
    EXPECT_TRUE(result.cancelled);
    EXPECT_GT(result.entriesScanned, 0);
    EXPECT_EQ(openDescriptors(), before); // folders kept open for children never reached
    EXPECT_LT(result.builder.count(),
              scannerFor(1).scan((tmp / "root").string(), 0).builder.count());
    for (std::uint32_t id = 1; id < result.builder.count(); ++id)
        EXPECT_LT(result.builder.records[id].parentID, id);

    // A stop that the callback later takes back still leaves the result incomplete.
    std::atomic<int> calls{0};
    ScanResult flaky = scannerFor(1).scan((tmp / "root").string(), 0, nullptr,
                                          [&] { return calls.fetch_add(1) != 1; });
    EXPECT_TRUE(flaky.cancelled);
}

TEST(DirectoryScanner, ACallbackThatThrowsEndsTheScanWithItsError) {
    TempDir tmp;
    makeTree(tmp / "root");
    std::atomic<int> asked{0};
    EXPECT_THROW(scannerFor(0).scan((tmp / "root").string(), 0, nullptr,
                                    [&]() -> bool {
                                        if (asked.fetch_add(1) == 5) throw std::runtime_error("x");
                                        return true;
                                    }),
                 std::runtime_error);
}

TEST(DirectoryScanner, ProgressAfterEveryFolderWithEntries) {
    TempDir tmp;
    makeTree(tmp / "root");
    fs::create_directories(tmp / "root" / "empty");
    std::mutex lock;
    std::vector<std::int64_t> reports;
    DirectoryScanner scanner(ScanPolicy(ScanPolicy::PathSet{}), 1, -5, "/none");
    EXPECT_EQ(scanner.progressInterval(), 0);
    ScanResult result = scanner.scan((tmp / "root").string(), 0,
                                     [&](std::int64_t count) {
                                         std::lock_guard guard(lock);
                                         reports.push_back(count);
                                     },
                                     [] { return true; });
    std::int64_t foldersWithEntries = 0;
    for (auto it = fs::recursive_directory_iterator(tmp / "root"); it != fs::end(it); ++it) {
        if (it->path().filename().string().ends_with(".noindex")) it.disable_recursion_pending();
        if (it->is_directory() && !fs::is_empty(it->path()) &&
            !it->path().string().ends_with(".noindex"))
            ++foldersWithEntries;
    }
    EXPECT_EQ(static_cast<std::int64_t>(reports.size()), foldersWithEntries + 1); // + the root
    EXPECT_EQ(*std::max_element(reports.begin(), reports.end()), result.entriesScanned);
}

TEST(DirectoryScanner, ClampsItsConfiguration) {
    DirectoryScanner scanner(ScanPolicy(ScanPolicy::PathSet{}), -2, 0.1, "/home/me");
    EXPECT_EQ(scanner.seedDepth(), 0);
    EXPECT_EQ(scanner.progressInterval(), 0.1);
    EXPECT_EQ(scanner.homeDirectory(), "/home/me");
}

} // namespace
} // namespace ulmaro
