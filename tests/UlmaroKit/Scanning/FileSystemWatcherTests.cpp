#include "UlmaroKit/Scanning/FileSystemWatcher.h"
#include "support/TempDir.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using Signal = FileSystemWatcherSignal;
using Kind = FileSystemWatcherSignal::Kind;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

constexpr auto timeout = std::chrono::seconds(10);

// Gathers what a watcher delivers; the test thread waits on conditions over it.
class Recorder {
public:
    FileSystemWatcher::SignalHandler handler() {
        return [this](const Signal& signal) {
            std::lock_guard guard(lock_);
            signals_.push_back(signal);
            changed_.notify_all();
        };
    }

    template <typename Predicate>
    bool waitUntil(Predicate predicate) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, timeout, [&] { return predicate(signals_); });
    }

    bool waitForKinds(std::size_t count) {
        return waitUntil([&](const auto& s) { return s.size() >= count; });
    }

    // Waits until every path has been reported in some `changedPaths`.
    bool waitForPaths(const std::vector<std::string>& paths) {
        return waitUntil([&](const auto& signals) {
            auto seen = pathsIn(signals);
            return std::all_of(paths.begin(), paths.end(), [&](const std::string& p) {
                return std::find(seen.begin(), seen.end(), p) != seen.end();
            });
        });
    }

    std::vector<Signal> signals() {
        std::lock_guard guard(lock_);
        return signals_;
    }
    std::vector<std::string> paths() { return pathsIn(signals()); }

    static std::vector<std::string> pathsIn(const std::vector<Signal>& signals) {
        std::vector<std::string> all;
        for (const auto& signal : signals) {
            all.insert(all.end(), signal.paths().begin(), signal.paths().end());
        }
        return all;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Signal> signals_;
};

void writeFile(const fs::path& path, std::string_view text = "x") {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

void touchNew(const fs::path& path) {
    int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
}

std::size_t countKind(const std::vector<Signal>& signals, Kind kind) {
    return static_cast<std::size_t>(std::count_if(
        signals.begin(), signals.end(), [&](const Signal& s) { return s.kind() == kind; }));
}

// Starts a watcher on `root` from an old ID and waits until its watches are in place.
struct Watching {
    Recorder recorder;
    FileSystemWatcher watcher;

    Watching(const fs::path& root, double latency, FileSystemWatcher::Options options = {})
        : watcher({root.string()}, 0, latency, recorder.handler(), options) {
        watcher.start();
    }
    ::testing::AssertionResult ready() {
        if (recorder.waitUntil([](const auto& s) { return countKind(s, Kind::historyDone) > 0; }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no historyDone";
    }
};

TEST(FileSystemWatcherSignalTests, ComparesCaseAndPathsInOrder) {
    EXPECT_EQ(Signal::changedPaths({"/a", "/b"}), Signal::changedPaths({"/a", "/b"}));
    EXPECT_NE(Signal::changedPaths({"/a", "/b"}), Signal::changedPaths({"/b", "/a"}));
    EXPECT_NE(Signal::mustFullRescan(), Signal::historyDone());
    EXPECT_EQ(Signal::historyDone(), Signal::historyDone());
}

// The signals of a fresh watcher on `root` started from `since`, up to its first
// `historyDone`.
std::vector<Signal> firstBatch(const fs::path& root, std::uint64_t since) {
    Recorder recorder;
    FileSystemWatcher watcher({root.string()}, since, 0.05, recorder.handler());
    EXPECT_EQ(watcher.lastKnownEventID(), 0u);
    watcher.start();
    EXPECT_TRUE(
        recorder.waitUntil([](const auto& s) { return countKind(s, Kind::historyDone) > 0; }));
    watcher.stop();
    EXPECT_GT(watcher.lastKnownEventID(), 0u);
    return recorder.signals();
}

TEST(FileSystemWatcherTests, AStartFromThePresentReplaysNothing) {
    TempDir dir;
    const std::vector<Signal> nothingMissed{Signal::historyDone()};
    EXPECT_EQ(firstBatch(dir.path(), FileSystemWatcher::currentEventID()), nothingMissed);

    // Taken, then held while another watcher delivers and time passes: still no gap.
    const std::uint64_t taken = FileSystemWatcher::currentEventID();
    {
        Watching other(dir.path(), 0.0);
        ASSERT_TRUE(other.ready());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(firstBatch(dir.path(), taken), nothingMissed);
    }
    // Nothing can have been missed since an ID that has not happened yet.
    EXPECT_EQ(firstBatch(dir.path(), std::numeric_limits<std::uint64_t>::max()), nothingMissed);
}

TEST(FileSystemWatcherTests, AStartFromBeforeAGapAsksForRescan) {
    TempDir dir;
    const std::vector<Signal> missed{Signal::mustFullRescan(), Signal::historyDone()};
    EXPECT_EQ(firstBatch(dir.path(), 0), missed);

    // A checkpoint of an earlier run: an hour ago.
    const auto hourAgo = std::chrono::system_clock::now() - std::chrono::hours(1);
    const auto since = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(hourAgo.time_since_epoch()).count());
    EXPECT_EQ(firstBatch(dir.path(), since), missed);

    // The checkpoint of a watcher stopped since, and an ID taken before that stop.
    const std::uint64_t beforeStop = FileSystemWatcher::currentEventID();
    std::uint64_t checkpoint = 0;
    {
        Watching earlier(dir.path(), 0.0);
        ASSERT_TRUE(earlier.ready());
        earlier.watcher.stop();
        checkpoint = earlier.watcher.lastKnownEventID();
    }
    EXPECT_EQ(firstBatch(dir.path(), checkpoint), missed);
    EXPECT_EQ(firstBatch(dir.path(), beforeStop), missed);
}

// The replay source answers for the gap: its paths, then `historyDone`; when it cannot tell,
// a rescan. Changes seen while it works go out meanwhile, before the replay's answer.
TEST(FileSystemWatcherTests, AReplaySourceFillsTheGap) {
    TempDir dir;
    struct Case {
        std::optional<std::vector<std::string>> answer;
        std::vector<Signal> replayed;
    };
    const std::vector<Case> cases{
        {std::vector<std::string>{"/gone/a", "/new/b"},
         {Signal::changedPaths({"/gone/a", "/new/b"}), Signal::historyDone()}},
        {std::vector<std::string>{}, {Signal::historyDone()}},
        {std::nullopt, {Signal::mustFullRescan(), Signal::historyDone()}},
    };
    for (const Case& c : cases) {
        std::mutex lock;
        std::condition_variable cv;
        bool release = false;
        std::uint64_t askedFrom = 0;
        FileSystemWatcher::Options options;
        options.replay = [&](std::uint64_t since, const std::atomic<bool>&) {
            std::unique_lock guard(lock);
            askedFrom = since;
            cv.wait(guard, [&] { return release; });
            return c.answer;
        };
        auto letGo = [&] {
            std::lock_guard guard(lock);
            release = true;
            cv.notify_all();
        };
        Recorder recorder;
        FileSystemWatcher watcher({dir.path().string()}, 7, 0.0, recorder.handler(), options);
        // However the test ends, the source returns, so the watcher can stop.
        std::shared_ptr<void> releaseOnExit(nullptr, [&](void*) { letGo(); });
        watcher.start();
        const fs::path meanwhile = dir / "meanwhile.txt";
        // Until a change gets through, the watches may not be in place yet.
        bool seen = false;
        for (auto until = std::chrono::steady_clock::now() + timeout;
             !seen && std::chrono::steady_clock::now() < until;) {
            writeFile(meanwhile);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            auto paths = recorder.paths();
            seen = std::find(paths.begin(), paths.end(), meanwhile.string()) != paths.end();
        }
        ASSERT_TRUE(seen);
        {
            std::lock_guard guard(lock);
            EXPECT_EQ(askedFrom, 7u);
        }
        letGo();
        ASSERT_TRUE(
            recorder.waitUntil([](const auto& s) { return countKind(s, Kind::historyDone) > 0; }));
        watcher.stop();
        std::vector<Signal> signals = recorder.signals();
        auto replay = std::find_if(signals.begin(), signals.end(),
                                   [&](const Signal& s) { return s == c.replayed.front(); });
        ASSERT_NE(replay, signals.end());
        EXPECT_EQ(std::vector<Signal>(replay, signals.end()), c.replayed);
        EXPECT_EQ(countKind(std::vector<Signal>(signals.begin(), replay), Kind::changedPaths),
                  static_cast<std::size_t>(replay - signals.begin()));
        fs::remove(meanwhile);
    }
}

// A watcher stopped while its replay runs tells the source, and returns.
TEST(FileSystemWatcherTests, StopCancelsAReplayInProgress) {
    TempDir dir;
    std::atomic<bool> started{false};
    FileSystemWatcher::Options options;
    options.replay = [&](std::uint64_t, const std::atomic<bool>& cancel) {
        started = true;
        while (!cancel)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return std::optional<std::vector<std::string>>(std::vector<std::string>{"/late"});
    };
    Recorder recorder;
    FileSystemWatcher watcher({dir.path().string()}, 0, 0.0, recorder.handler(), options);
    watcher.start();
    while (!started)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    watcher.stop();
    EXPECT_EQ(countKind(recorder.signals(), Kind::historyDone), 0u);
}

// Folders the owner does not want get no watch: nothing inside them is reported, while the
// folder itself still is, as an entry of its parent.
TEST(FileSystemWatcherTests, FoldersSkippedInsideAreNotWatched) {
    TempDir dir;
    fs::create_directories(dir / "cache" / "deep");
    fs::create_directories(dir / "kept");
    FileSystemWatcher::Options options;
    options.skipInside = [&](const std::string& folder) {
        return folder == (dir / "cache").string();
    };
    Watching w(dir.path(), 0.0, options);
    ASSERT_TRUE(w.ready());
    writeFile(dir / "cache" / "x");
    writeFile(dir / "cache" / "deep" / "y");
    writeFile(dir / "kept" / "z");
    ASSERT_TRUE(w.recorder.waitForPaths({dir / "kept" / "z"}));
    fs::remove_all(dir / "cache");
    ASSERT_TRUE(w.recorder.waitForPaths({dir / "cache"}));
    EXPECT_THAT(w.recorder.paths(), Not(Contains((dir / "cache" / "x").string())));
    EXPECT_THAT(w.recorder.paths(), Not(Contains((dir / "cache" / "deep" / "y").string())));
}

// A large tree takes seconds to watch: what changes meanwhile in folders watched already is
// not held back until the last watch is in place.
TEST(FileSystemWatcherTests, ChangesGoOutWhileTheWatchesAreStillBeingPlaced) {
    TempDir dir;
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "x" / "y" / "z");
    const fs::path early = dir / "a" / "early.txt";
    Recorder recorder;
    std::atomic<bool> heard{false};
    FileSystemWatcher::Options options;
    // The walk asks about each folder before watching it, level by level: "a" is watched
    // before "y" is asked about, and every folder of y's level before "z" is.
    options.skipInside = [&](const std::string& folder) {
        if (folder == (dir / "x" / "y").string()) writeFile(early);
        if (folder == (dir / "x" / "y" / "z").string())
            heard = recorder.waitForPaths({early.string()});
        return false;
    };
    FileSystemWatcher watcher({dir.path().string()}, FileSystemWatcher::currentEventID(), 0.0,
                              recorder.handler(), options);
    watcher.start();
    ASSERT_TRUE(
        recorder.waitUntil([](const auto& s) { return countKind(s, Kind::historyDone) > 0; }));
    EXPECT_TRUE(heard) << "the change waited for the last watch";
}

TEST(FileSystemWatcherTests, FileChangesAreReported) {
    TempDir dir;
    Watching w(dir.path(), 0.02);
    ASSERT_TRUE(w.ready());
    auto file = dir / "a.txt";
    writeFile(file);
    ASSERT_TRUE(w.recorder.waitForPaths({file}));

    writeFile(dir / "b.txt");
    ASSERT_TRUE(w.recorder.waitForPaths({dir / "b.txt"}));
    {
        std::ofstream out(file, std::ios::app);
        out << "more";
    }
    fs::rename(dir / "b.txt", dir / "c.txt");
    fs::remove(file);
    // Raw bytes: a name that is not UTF-8 comes back as it is, so it can be opened again.
    auto odd = dir / std::string("\xff\xfe.bin");
    writeFile(odd);
    ASSERT_TRUE(w.recorder.waitForPaths({dir / "b.txt", dir / "c.txt", file, odd}));
}

TEST(FileSystemWatcherTests, FolderChangesAreFollowed) {
    TempDir dir;
    TempDir outside;
    Watching w(dir.path(), 0.02);
    ASSERT_TRUE(w.ready());

    // A folder made and filled at once: what landed before its watch is reported too.
    fs::create_directories(dir / "a" / "b" / "c");
    writeFile(dir / "a" / "b" / "f.txt");
    writeFile(dir / "a" / "b" / "c" / "g.txt");
    ASSERT_TRUE(
        w.recorder.waitForPaths({dir / "a", dir / "a" / "b", dir / "a" / "b" / "c",
                                 dir / "a" / "b" / "f.txt", dir / "a" / "b" / "c" / "g.txt"}));

    // Renamed inside the tree: its watches follow it.
    fs::rename(dir / "a", dir / "renamed");
    writeFile(dir / "renamed" / "b" / "c" / "after.txt");
    ASSERT_TRUE(w.recorder.waitForPaths(
        {dir / "a", dir / "renamed", dir / "renamed" / "b" / "c" / "after.txt"}));

    // Moved in from outside: watched, contents reported.
    fs::create_directories(outside / "in" / "deep");
    writeFile(outside / "in" / "deep" / "x.txt");
    fs::rename(outside / "in", dir / "in");
    ASSERT_TRUE(w.recorder.waitForPaths({dir / "in", dir / "in" / "deep" / "x.txt"}));
    writeFile(dir / "in" / "deep" / "y.txt");
    ASSERT_TRUE(w.recorder.waitForPaths({dir / "in" / "deep" / "y.txt"}));

    // Moved out: reported, then no longer watched.
    fs::rename(dir / "renamed", outside / "gone");
    writeFile(outside / "gone" / "b" / "late.txt");
    writeFile(dir / "marker");
    ASSERT_TRUE(w.recorder.waitForPaths({dir / "renamed", dir / "marker"}));

    // Deleted as a whole.
    fs::remove_all(dir / "in");
    ASSERT_TRUE(w.recorder.waitForPaths({dir / "in" / "deep" / "x.txt", dir / "in" / "deep"}));
    writeFile(dir / "marker2");
    ASSERT_TRUE(w.recorder.waitForPaths({dir / "marker2"}));

    auto paths = w.recorder.paths();
    EXPECT_THAT(paths, Not(Contains(dir / "renamed" / "b" / "late.txt")));
    EXPECT_THAT(paths, Not(Contains((outside / "gone" / "b" / "late.txt").string())));
    EXPECT_EQ(countKind(w.recorder.signals(), Kind::mustFullRescan), 1u); // only the start's
}

TEST(FileSystemWatcherTests, FolderMovedAwayAndStraightBackIsStillWatched) {
    TempDir dir;
    TempDir outside;
    fs::create_directories(dir / "a" / "b");
    Watching w(dir.path(), 0.0);
    ASSERT_TRUE(w.ready());
    fs::rename(dir / "a", outside / "a");
    fs::rename(outside / "a", dir / "a");
    writeFile(dir / "a" / "b" / "back.txt");
    EXPECT_TRUE(w.recorder.waitForPaths({dir / "a", dir / "a" / "b" / "back.txt"}));
}

TEST(FileSystemWatcherTests, RootGivenAsLinkIsFollowedAndKeepsItsPath) {
    TempDir dir;
    fs::create_directories(dir / "real" / "sub");
    fs::create_directory_symlink(dir / "real", dir / "link");
    Watching w(dir / "link", 0.0);
    ASSERT_TRUE(w.ready());
    writeFile(dir / "real" / "sub" / "f.txt");
    EXPECT_TRUE(w.recorder.waitForPaths({dir / "link" / "sub" / "f.txt"}));
}

TEST(FileSystemWatcherTests, FirstChangeAfterQuietSpellIsNotHeldBack) {
    TempDir dir;
    // Were the first change held for the latency, it would not arrive within the wait.
    Watching w(dir.path(), 3600);
    ASSERT_TRUE(w.ready());
    touchNew(dir / "first");
    EXPECT_TRUE(w.recorder.waitForPaths({dir / "first"}));
}

TEST(FileSystemWatcherTests, ChangesWithinLatencyGoOutAsOneBatchInOrder) {
    TempDir dir;
    Watching w(dir.path(), 1.0);
    ASSERT_TRUE(w.ready());
    touchNew(dir / "a");
    ASSERT_TRUE(w.recorder.waitForPaths({dir / "a"}));
    std::size_t before = w.recorder.signals().size();
    touchNew(dir / "b");
    touchNew(dir / "c");
    touchNew(dir / "d");
    ASSERT_TRUE(w.recorder.waitForKinds(before + 1));
    auto signals = w.recorder.signals();
    EXPECT_EQ(signals[before], Signal::changedPaths({dir / "b", dir / "c", dir / "d"}));
}

TEST(FileSystemWatcherTests, EventIDsOnlyGrow) {
    TempDir dir;
    Watching w(dir.path(), 0.0);
    ASSERT_TRUE(w.ready());
    std::uint64_t last = w.watcher.lastKnownEventID();
    EXPECT_GT(last, 0u);
    for (int i = 0; i < 3; ++i) {
        auto path = dir / std::to_string(i);
        touchNew(path);
        ASSERT_TRUE(w.recorder.waitForPaths({path}));
        std::uint64_t now = w.watcher.lastKnownEventID();
        EXPECT_GT(now, last);
        last = now;
    }
    w.watcher.stop();
    EXPECT_EQ(w.watcher.lastKnownEventID(), last); // survives stop
    EXPECT_GT(FileSystemWatcher::currentEventID(), last);
}

TEST(FileSystemWatcherTests, StartTwiceWatchesOnceAndStopTwiceIsHarmless) {
    TempDir dir;
    Recorder recorder;
    FileSystemWatcher watcher({dir.path().string()}, 0, 0.0, recorder.handler());
    watcher.stop(); // stopped: nothing to do
    watcher.start();
    watcher.start();
    ASSERT_TRUE(recorder.waitForKinds(2));
    touchNew(dir / "one");
    ASSERT_TRUE(recorder.waitForPaths({dir / "one"}));
    auto signals = recorder.signals();
    EXPECT_EQ(countKind(signals, Kind::historyDone), 1u);
    EXPECT_EQ(signals.back(), Signal::changedPaths({dir / "one"})); // reported once
    watcher.stop();
    watcher.stop();

    // Started again: the same start ID, so the same notice first.
    std::size_t before = signals.size();
    watcher.start();
    ASSERT_TRUE(recorder.waitForKinds(before + 2));
    signals = recorder.signals();
    EXPECT_EQ(signals[before], Signal::mustFullRescan());
    EXPECT_EQ(signals[before + 1], Signal::historyDone());
}

TEST(FileSystemWatcherTests, StopFromInsideADelivery) {
    TempDir dir;
    Recorder recorder;
    std::unique_ptr<FileSystemWatcher> watcher;
    auto record = recorder.handler();
    watcher = std::make_unique<FileSystemWatcher>(std::vector<std::string>{dir.path().string()}, 0,
                                                  0.0, [&](const Signal& signal) {
                                                      record(signal);
                                                      if (signal.kind() == Kind::mustFullRescan)
                                                          watcher->stop();
                                                  });
    watcher->start();
    ASSERT_TRUE(recorder.waitForKinds(1));
    watcher->stop(); // already stopped by the handler
    EXPECT_EQ(recorder.signals(), std::vector<Signal>{Signal::mustFullRescan()});
    watcher.reset();
}

TEST(FileSystemWatcherTests, ExhaustedWatchBudgetAsksForRescan) {
    TempDir dir;
    fs::create_directories(dir / "a" / "b");
    fs::create_directories(dir / "c");
    {
        // Four folders, three watches: the start already falls short.
        Recorder recorder;
        FileSystemWatcher watcher({dir.path().string()}, std::numeric_limits<std::uint64_t>::max(),
                                  0.0, recorder.handler(), {.maxWatches = 3});
        watcher.start();
        ASSERT_TRUE(recorder.waitForKinds(2));
        EXPECT_THAT(recorder.signals(),
                    ElementsAre(Signal::mustFullRescan(), Signal::historyDone()));
    }
    {
        // Exactly enough at the start; the next folder finds none left.
        Recorder recorder;
        FileSystemWatcher watcher({dir.path().string()}, std::numeric_limits<std::uint64_t>::max(),
                                  0.0, recorder.handler(), {.maxWatches = 4});
        watcher.start();
        ASSERT_TRUE(recorder.waitForKinds(1));
        fs::create_directory(dir / "d");
        ASSERT_TRUE(recorder.waitUntil(
            [](const auto& s) { return countKind(s, Kind::mustFullRescan) > 0; }));
        auto signals = recorder.signals();
        ASSERT_GE(signals.size(), 3u);
        EXPECT_EQ(signals[1], Signal::changedPaths({dir / "d"}));
        EXPECT_EQ(signals[2], Signal::mustFullRescan());
    }
}

TEST(FileSystemWatcherTests, LostEventsAskForRescanAndWatchingGoesOn) {
    long queueLimit = 0;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> queueLimit;
    if (queueLimit <= 0 || queueLimit > 1'000'000) GTEST_SKIP() << "queue limit " << queueLimit;

    TempDir dir;
    fs::create_directory(dir / "sub");
    Recorder recorder;
    std::mutex gate;
    std::unique_lock held(gate);
    auto record = recorder.handler();
    // The first delivery blocks the watcher's thread while the kernel queue overflows.
    FileSystemWatcher watcher({dir.path().string()}, std::numeric_limits<std::uint64_t>::max(), 0.0,
                              [&](const Signal& signal) {
                                  record(signal);
                                  std::lock_guard wait(gate);
                              });
    watcher.start();
    ASSERT_TRUE(recorder.waitForKinds(1));
    writeFile(dir / "p");
    writeFile(dir / "q");
    // Alternating targets keep the kernel from folding the events into one.
    for (long i = 0; i <= queueLimit; ++i) {
        ::utimensat(AT_FDCWD, (i % 2 ? dir / "p" : dir / "q").c_str(), nullptr, 0);
    }
    held.unlock();
    ASSERT_TRUE(
        recorder.waitUntil([](const auto& s) { return countKind(s, Kind::mustFullRescan) > 0; }));
    writeFile(dir / "sub" / "after");
    EXPECT_TRUE(recorder.waitForPaths({dir / "sub" / "after"}));
}

TEST(FileSystemWatcherTests, RemovedRootIsReportedWithRescan) {
    TempDir dir;
    fs::create_directory(dir / "root");
    Watching w(dir / "root", 0.0);
    ASSERT_TRUE(w.ready());
    fs::remove(dir / "root");
    ASSERT_TRUE(
        w.recorder.waitUntil([](const auto& s) { return countKind(s, Kind::mustFullRescan) > 1; }));
    EXPECT_THAT(w.recorder.paths(), Contains((dir / "root").string()));
}

TEST(FileSystemWatcherTests, ARootThatCannotBeWatchedAsksForRescan) {
    TempDir dir;
    std::ofstream(dir / "file") << "x";
    const std::vector<Signal> rescan{Signal::mustFullRescan(), Signal::historyDone()};
    for (const fs::path& root : {dir / "not-yet", dir / "file"}) {
        EXPECT_EQ(firstBatch(root, FileSystemWatcher::currentEventID()), rescan) << root;
        EXPECT_EQ(firstBatch(root, std::numeric_limits<std::uint64_t>::max()), rescan) << root;
    }
    // One missing root among watched ones.
    Recorder recorder;
    FileSystemWatcher watcher({dir.path().string(), (dir / "not-yet").string()},
                              FileSystemWatcher::currentEventID(), 0.0, recorder.handler());
    watcher.start();
    ASSERT_TRUE(recorder.waitForKinds(2));
    EXPECT_EQ(recorder.signals(), rescan);
    touchNew(dir / "new");
    EXPECT_TRUE(recorder.waitForPaths({dir / "new"}));
}

TEST(FileSystemWatcherTests, DeviceUUID) {
    TempDir dir;
    EXPECT_EQ(FileSystemWatcher::deviceUUID((dir / "missing").string()), std::nullopt);

    // A fixture /dev and /sys that name the temporary folder's device.
    struct stat status {};
    ASSERT_EQ(::stat(dir.path().c_str(), &status), 0);
    std::string number = std::to_string(major(status.st_dev));
    number += ':';
    number += std::to_string(minor(status.st_dev));
    fs::create_directories(dir / "dev" / "disk" / "by-uuid");
    fs::create_directories(dir / "sys" / "dev" / "block");
    fs::create_symlink("../../fake1", dir / "dev" / "disk" / "by-uuid" / "0f3c-a7b2");
    fs::create_symlink("../../devices/virtual/block/fake1", dir / "sys" / "dev" / "block" / number);
    EXPECT_EQ(FileSystemWatcher::deviceUUID(dir.path().string(), dir / "dev", dir / "sys"),
              "0f3c-a7b2");

    // Without a UUID: the file-system ID, when the file system has one.
    auto fallback = FileSystemWatcher::deviceUUID(dir.path().string(), dir / "none", dir / "none",
                                                  dir / "none");
    if (fallback) {
        EXPECT_EQ(fallback->size(), 16u);
    }
}

} // namespace
} // namespace ulmaro
