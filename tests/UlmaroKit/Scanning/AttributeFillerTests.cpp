#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Scanning/AttributeFiller.h"
#include "support/TempDir.h"

#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace ulmaro {
namespace {

using test::TempDir;
constexpr auto folderFlags = RecordFlags::isDirectory;
constexpr auto fileFlags = RecordFlags{};
constexpr auto filled = RecordFlags::attrsFilled;

void writeFile(const std::string& path, std::size_t size) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path;
    std::string bytes(size, 'x');
    ASSERT_EQ(::write(fd, bytes.data(), size), ssize_t(size));
    ::close(fd);
}

void setTime(const std::string& path, std::int64_t seconds) {
    timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// A builder that mirrors a real folder the way a scan records it: the root chain down to
// the folder, then entries added by relative path (raw bytes).
struct ScannedTree {
    std::string root;
    IndexBuilder builder;
    std::map<std::string, std::uint32_t> ids;

    explicit ScannedTree(const std::filesystem::path& folder) : root(folder.string()) {
        std::uint32_t parent = builder.addEntry("", FileRecord::rootParentID, folderFlags, 0);
        std::size_t at = 1;
        while (at < root.size()) {
            std::size_t end = std::min(root.find('/', at), root.size());
            parent = builder.addEntry(root.substr(at, end - at), parent, folderFlags, 0);
            at = end + 1;
        }
        ids[""] = parent;
    }
    std::uint32_t add(const std::string& relative, RecordFlags flags) {
        auto slash = relative.rfind('/');
        std::string parent = slash == std::string::npos ? "" : relative.substr(0, slash);
        std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
        return ids[relative] = builder.addEntry(name, ids.at(parent), flags, 0);
    }
    const FileRecord& operator[](const std::string& relative) const {
        return builder.records[ids.at(relative)];
    }
    std::string path(const std::string& relative) const { return root + "/" + relative; }
};

struct Fill {
    std::vector<std::int64_t> reports;
    std::mutex lock;
    void run(
        IndexBuilder& b, bool onlyMissing = false, std::function<bool()> go = [] { return true; }) {
        AttributeFiller::fill(b, go, onlyMissing, AttributeFiller::Appetite::watching,
                              [this](std::int64_t n) {
                                  std::lock_guard guard(lock);
                                  reports.push_back(n);
                              });
    }
};

TEST(AttributeFiller, FillsSizesAndDatesOfARealTree) {
    TempDir tmp;
    ScannedTree t(tmp.path());
    const std::string nfc = "caf\xc3\xa9", nfd = "cafe\xcc\x81";
    ASSERT_EQ(::mkdir(t.path("sub").c_str(), 0755), 0);
    writeFile(t.path("sub/a.bin"), 1234);
    writeFile(t.path(nfc), 1);
    writeFile(t.path(nfd), 22);
    writeFile(t.path("bad\xff"), 333);
    writeFile(t.path("bad\xfe"), 4444);
    writeFile(t.path("old"), 5);
    writeFile(t.path("gone"), 6);
    writeFile(t.path("big"), 100'000);
    ASSERT_EQ(::symlink("big", t.path("link").c_str()), 0);
    setTime(t.path("sub/a.bin"), 1'700'000'000);
    setTime(t.path("sub"), 1'600'000'000);
    setTime(t.path("link"), 1'500'000'000);
    setTime(t.path("old"), -86'400); // before 1970

    for (const char* name :
         {"sub", "sub/a.bin", "link", "old", "gone", "sub/x", "late-dir", "bad\xff", "bad\xfe"})
        t.add(name, std::string_view(name) == "sub" ? folderFlags : fileFlags);
    t.add(nfc, fileFlags);
    t.add(nfd, fileFlags);
    t.add("late-dir", folderFlags); // removed before the fill, with a known child
    t.add("late-dir/f", fileFlags);
    t.add("sub/x", fileFlags); // a name with a slash is no name of this folder
    ::unlink(t.path("gone").c_str());
    writeFile(t.path("created-after-scan"), 9);

    std::size_t before = t.builder.records.size();
    Fill fill;
    fill.run(t.builder);
    EXPECT_EQ(t.builder.records.size(), before);

    EXPECT_EQ(t["sub/a.bin"].size, 1234u);
    EXPECT_EQ(t["sub/a.bin"].mtime, 1'700'000'000u);
    EXPECT_EQ(t["sub"].size, 0u); // a folder's size is 0
    EXPECT_EQ(t["sub"].mtime, 1'600'000'000u);
    EXPECT_EQ(t["link"].size, 3u); // the link itself: "big"
    EXPECT_EQ(t["link"].mtime, 1'500'000'000u);
    EXPECT_EQ(t["old"].mtime, 0u);
    // Names that decode alike, or differ only in normalisation, keep their own values.
    EXPECT_EQ(t[nfc].size, 1u);
    EXPECT_EQ(t[nfd].size, 22u);
    EXPECT_EQ(t["bad\xff"].size, 333u);
    EXPECT_EQ(t["bad\xfe"].size, 4444u);
    for (const char* p : {"sub/a.bin", "sub", "link", "old", "bad\xff"})
        EXPECT_TRUE(t[p].flags.contains(filled)) << p;
    for (const char* p : {"gone", "late-dir", "late-dir/f", "sub/x"})
        EXPECT_EQ(t[p].flags.contains(filled), false) << p;
    // The root chain is filled from its parents' listings; record 0 has none.
    EXPECT_TRUE(t[""].flags.contains(filled));
    EXPECT_FALSE(t.builder.records[0].flags.contains(filled));
    // Covered: every child of every folder read, found or not.
    EXPECT_EQ(fill.reports, (std::vector<std::int64_t>{std::int64_t(before - 1)}));
}

TEST(AttributeFiller, KeepsMtimesAbove32BitsAtTheTop) {
    TempDir tmp;
    ScannedTree t(tmp.path());
    writeFile(t.path("future"), 1);
    timespec times[2] = {{0, UTIME_OMIT}, {std::int64_t{1} << 33, 0}};
    if (::utimensat(AT_FDCWD, t.path("future").c_str(), times, 0) != 0)
        GTEST_SKIP() << "file system cannot hold the date";
    struct stat st;
    ::stat(t.path("future").c_str(), &st);
    if (st.st_mtime != std::int64_t{1} << 33) GTEST_SKIP() << "file system clamps the date";
    t.add("future", fileFlags);
    Fill().run(t.builder);
    EXPECT_EQ(t["future"].mtime, 4'294'967'295u);
}

TEST(AttributeFiller, FillsFoldersBeyondAnyDepthOrPathLength) {
    TempDir tmp;
    ScannedTree t(tmp.path());
    // 300 levels (past any depth cap), then 20 of 200-byte names (a path past PATH_MAX).
    int fd = ::open(tmp.path().c_str(), O_RDONLY | O_DIRECTORY);
    std::string relative;
    for (int level = 0; level < 320; ++level) {
        std::string name = level < 300 ? "d" : std::string(200, char('a' + level - 300));
        ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
        int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        relative += (relative.empty() ? "" : "/") + name;
        t.add(relative, folderFlags);
    }
    int leaf = ::openat(fd, "leaf", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(leaf, "12345", 5), 5);
    ::close(leaf);
    ::close(fd);
    t.add(relative + "/leaf", fileFlags);

    Fill().run(t.builder);
    EXPECT_EQ(t[relative + "/leaf"].size, 5u);
    EXPECT_TRUE(t[relative + "/leaf"].flags.contains(filled));
    for (std::size_t id = 1; id < t.builder.records.size(); ++id) {
        EXPECT_TRUE(t.builder.records[id].flags.contains(filled)) << id;
    }
}

TEST(AttributeFiller, OnlyMissingReadsTheFoldersThatNeedIt) {
    TempDir tmp;
    ScannedTree t(tmp.path());
    ASSERT_EQ(::mkdir(t.path("Documents").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(t.path("Music").c_str(), 0755), 0);
    writeFile(t.path("Documents/new.txt"), 17);
    writeFile(t.path("Music/song"), 9);
    constexpr std::uint32_t stale = 7;
    for (std::uint32_t id = 1; id < t.builder.records.size(); ++id)
        t.builder.setAttributes(id, stale, stale); // the root chain, carried forward
    for (const char* p : {"Documents", "Music"})
        t.builder.setAttributes(t.add(p, folderFlags), stale, stale);
    t.builder.setAttributes(t.add("Music/song", fileFlags), stale, stale);
    t.add("Documents/new.txt", fileFlags);

    Fill fill;
    fill.run(t.builder, true);
    EXPECT_EQ(t["Documents/new.txt"].size, 17u);
    EXPECT_EQ(t["Documents"].size, 0u);                      // refreshed from the root's listing
    EXPECT_EQ(t["Music"].size, 0u);                          // the same listing
    EXPECT_EQ(t["Music/song"].size, stale);                  // Music itself was not read
    EXPECT_EQ(t[""].size, stale);                            // nor the root's parent
    EXPECT_EQ(fill.reports, (std::vector<std::int64_t>{3})); // 2 in the root, 1 in Documents

    Fill again; // everything has attributes now: no job
    again.run(t.builder, true);
    EXPECT_EQ(again.reports, (std::vector<std::int64_t>{0}));
}

TEST(AttributeFiller, StopsWhenToldAndSkipsEmptyIndexes) {
    TempDir tmp;
    ScannedTree t(tmp.path());
    writeFile(t.path("a"), 3);
    t.add("a", fileFlags);
    auto records = t.builder.records;
    std::atomic<int> asked{0};
    Fill fill;
    fill.run(t.builder, false, [&] {
        ++asked;
        return false;
    });
    EXPECT_EQ(t.builder.records, records);
    EXPECT_EQ(fill.reports, (std::vector<std::int64_t>{0}));
    EXPECT_GE(asked.load(), 1);

    IndexBuilder empty;
    Fill none;
    none.run(empty);
    EXPECT_TRUE(none.reports.empty());
}

TEST(AttributeFiller, AppetiteSetsTheThreadCount) {
    using A = AttributeFiller::Appetite;
    const unsigned processors[] = {1, 2, 4, 8, 10, 16};
    const unsigned watching[] = {1, 1, 3, 7, 8, 8}, working[] = {1, 1, 2, 4, 4, 4};
    for (std::size_t i = 0; i < std::size(processors); ++i) {
        EXPECT_EQ(AttributeFiller::threadCount(A::watching, processors[i]), watching[i]);
        EXPECT_EQ(AttributeFiller::threadCount(A::working, processors[i]), working[i]);
    }
}

} // namespace
} // namespace ulmaro
