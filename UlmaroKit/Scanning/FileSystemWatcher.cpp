#include "UlmaroKit/Scanning/FileSystemWatcher.h"

#include "UlmaroKit/Platform/BlockDevices.h"
#include "UlmaroKit/Platform/InotifyTree.h"
#include "UlmaroKit/Platform/MountTable.h"
#include "UlmaroKit/Platform/UniqueFd.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>

namespace ulmaro {
namespace {

using Clock = std::chrono::steady_clock;

// A folder's move out of a tree and its arrival elsewhere are two events; wait this long for
// the second before taking the folder as gone.
constexpr auto moveGrace = std::chrono::milliseconds(10);

std::atomic<std::uint64_t> lastEventID{0};

std::uint64_t wallClockNanoseconds() {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    return ns > 0 ? static_cast<std::uint64_t>(ns) : 0;
}

// IDs only grow even when the wall clock steps back.
std::uint64_t advanceEventID(bool bump) {
    std::uint64_t last = lastEventID.load();
    for (;;) {
        std::uint64_t next = std::max(bump ? last + 1 : last, wallClockNanoseconds());
        if (lastEventID.compare_exchange_weak(last, next)) return next;
    }
}

// Changes went unseen before the process's first ID and after each stop. A start from
// before the later of the two cannot know what happened since; a start from after it missed
// nothing a replay could have given.
std::uint64_t firstEventID() {
    static const std::uint64_t first = advanceEventID(false);
    return first;
}

std::atomic<std::uint64_t> lastStopID{0};

std::uint64_t historyCut() {
    return std::max(firstEventID(), lastStopID.load());
}

// The latest ID handed out; not moved on by the clock, so an ID taken from
// currentEventID() stays current until a later one is handed out.
std::uint64_t presentEventID() {
    firstEventID();
    return lastEventID.load();
}

struct Batch {
    std::vector<std::string> paths;
    std::unordered_set<std::string> seen;
    bool mustRescan = false;
    bool historyDone = false;

    bool empty() const { return paths.empty() && !mustRescan && !historyDone; }
    // The kernel reports one change many times (a write, then its attributes…): one path suffices.
    void add(InotifyChanges& changes) {
        for (auto& path : changes.paths) {
            if (seen.insert(path).second) paths.push_back(std::move(path));
        }
        mustRescan = mustRescan || changes.mustRescan;
        changes = {};
    }
};

} // namespace

struct FileSystemWatcher::Stream {
    std::atomic<bool> stopping{false};
    InotifyTree tree;
    UniqueFd wake;
    std::vector<std::string> roots;
    std::uint64_t sinceEventID;
    std::uint64_t unseenBefore = 0; // the history cut when started
    Clock::duration latency;
    SignalHandler onSignal;
    std::shared_ptr<EventIDs> eventIDs;
    std::thread thread;

    Replay replay;

    Stream(const Options& options, UniqueFd wakeFd)
        : tree(options.maxWatches, &stopping, options.skipInside), wake(std::move(wakeFd)),
          replay(options.replay) {}

    void run();
    void deliver(Batch& batch);
    bool waitForEvents(int timeoutMs, int replayFd);
};

namespace {

// The replay source's answer, computed on a thread of its own while inotify is read; the
// thread signals `done` when it has finished. Joined before the stream's thread ends.
struct PendingReplay {
    UniqueFd done;
    std::optional<std::vector<std::string>> paths;
    std::thread thread;

    ~PendingReplay() {
        if (thread.joinable()) thread.join();
    }

    bool start(const FileSystemWatcher::Replay& replay, std::uint64_t since,
               const std::atomic<bool>& cancel) {
        done = UniqueFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
        if (!done) return false;
        try {
            thread = std::thread([this, &replay, since, &cancel] {
                try {
                    paths = replay(since, cancel);
                } catch (const std::exception&) {
                    paths.reset();
                }
                std::uint64_t one = 1;
                [[maybe_unused]] auto written = ::write(done.get(), &one, sizeof one);
            });
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    /// The answer, once the thread has finished; the descriptor is closed then.
    bool finished() {
        std::uint64_t count = 0;
        if (!done || ::read(done.get(), &count, sizeof count) != sizeof count) return false;
        thread.join();
        done.reset();
        return true;
    }
};

} // namespace

void FileSystemWatcher::Stream::deliver(Batch& batch) {
    std::uint64_t id = advanceEventID(true);
    {
        std::lock_guard guard(eventIDs->lock);
        eventIDs->lastKnown = std::max(eventIDs->lastKnown, id);
    }
    if (!onSignal) {
        batch = {};
        return;
    }
    if (!batch.paths.empty() && !stopping)
        onSignal(FileSystemWatcherSignal::changedPaths(std::move(batch.paths)));
    if (batch.mustRescan && !stopping) onSignal(FileSystemWatcherSignal::mustFullRescan());
    if (batch.historyDone && !stopping) onSignal(FileSystemWatcherSignal::historyDone());
    batch = {};
}

// True when inotify has something to read; false on a timeout or a stop request.
bool FileSystemWatcher::Stream::waitForEvents(int timeoutMs, int replayFd) {
    pollfd fds[3] = {{tree.fd(), POLLIN, 0}, {wake.get(), POLLIN, 0}, {replayFd, POLLIN, 0}};
    int ready = ::poll(fds, 3, timeoutMs);
    if (ready <= 0) return false;
    return !stopping && (fds[0].revents & (POLLIN | POLLERR | POLLHUP));
}

void FileSystemWatcher::Stream::run() {
    Batch batch;
    InotifyChanges changes;
    bool allWatched = true;
    // Placing the watches of a large tree takes seconds: what happens meanwhile in folders
    // watched already goes out level by level, not only once every watch is in place.
    auto readMeanwhile = [&] {
        if (stopping || !waitForEvents(0, -1)) return;
        InotifyChanges early;
        tree.readEvents(early);
        tree.settleMoves(false);
        // Lost events are said once the walk is done, as the walk's own are.
        changes.mustRescan = changes.mustRescan || early.mustRescan;
        early.mustRescan = false;
        Batch meanwhile;
        meanwhile.add(early);
        if (!meanwhile.empty()) deliver(meanwhile);
    };
    for (const auto& root : roots)
        allWatched = tree.addRoot(root, changes, readMeanwhile) && allWatched;
    changes.paths.clear();
    batch.add(changes);
    // A root that is not there (yet) cannot be watched: its owner rescans when it appears.
    if (!allWatched) batch.mustRescan = true;
    // The kernel keeps no history: a start from before changes went unseen needs the replay
    // source, and without one (or a root to compare with) the owner must rescan.
    PendingReplay pending;
    const bool missedSome = sinceEventID < unseenBefore;
    if (missedSome && !batch.mustRescan && replay &&
        pending.start(replay, sinceEventID, stopping)) {
        if (!batch.empty()) deliver(batch);
    } else {
        if (missedSome) batch.mustRescan = true;
        batch.historyDone = true;
        deliver(batch);
    }

    // The replay notice above is no change: the first real one still goes out at once.
    std::optional<Clock::time_point> lastDelivery;
    std::optional<Clock::time_point> lastChange;
    auto deadline = Clock::time_point::max();
    while (!stopping) {
        int timeoutMs = -1;
        if (!batch.empty()) {
            auto wait = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            timeoutMs = static_cast<int>(std::max<std::int64_t>(wait.count(), 0));
        }
        if (tree.hasUnpairedMoves()) {
            int grace = static_cast<int>(moveGrace.count());
            timeoutMs = timeoutMs < 0 ? grace : std::min(timeoutMs, grace);
        }
        bool readable = waitForEvents(timeoutMs, pending.done ? pending.done.get() : -1);
        if (stopping) break;
        if (pending.done && pending.finished()) {
            InotifyChanges replayed;
            if (pending.paths)
                replayed.paths = std::move(*pending.paths);
            else
                replayed.mustRescan = true;
            batch.add(replayed);
            batch.historyDone = true;
            deadline = Clock::now(); // the replay is news: it goes out at once
        }
        if (readable) {
            tree.readEvents(changes);
            tree.settleMoves(false);
        } else if (tree.hasUnpairedMoves()) {
            tree.settleMoves(true);
        }
        if (!changes.paths.empty() || changes.mustRescan) {
            // The first change after a quiet spell goes out at once; later ones gather until
            // the latency has passed since the last delivery.
            auto now = Clock::now();
            if (batch.empty()) {
                bool quiet = !lastChange || now - *lastChange >= latency;
                deadline = quiet || !lastDelivery ? now : std::max(now, *lastDelivery + latency);
            }
            lastChange = now;
            batch.add(changes);
        }
        if (!batch.empty() && Clock::now() >= deadline) {
            deliver(batch);
            lastDelivery = Clock::now();
        }
    }
}

FileSystemWatcher::FileSystemWatcher(std::vector<std::string> paths, std::uint64_t sinceEventID,
                                     double latency, SignalHandler onSignal, Options options)
    : paths_(std::move(paths)), sinceEventID_(sinceEventID), latency_(latency),
      onSignal_(std::move(onSignal)), options_(options), eventIDs_(std::make_shared<EventIDs>()) {}

FileSystemWatcher::~FileSystemWatcher() {
    stop();
}

void FileSystemWatcher::start() {
    std::lock_guard guard(streamLock_);
    if (stream_) return;
    UniqueFd wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!wake) return;
    std::shared_ptr<Stream> stream;
    try {
        stream = std::make_shared<Stream>(options_, std::move(wake));
    } catch (const std::system_error&) {
        return; // no inotify instance to be had
    }
    stream->roots = paths_;
    stream->sinceEventID = sinceEventID_;
    stream->unseenBefore = historyCut();
    double seconds = std::isfinite(latency_) ? std::max(latency_, 0.0) : 0.0;
    stream->latency = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(std::min(seconds, 86400.0)));
    stream->onSignal = onSignal_;
    stream->eventIDs = eventIDs_;
    try {
        // The thread holds the stream, so a stop from inside a delivery cannot free it under us.
        stream->thread = std::thread([stream] { stream->run(); });
    } catch (const std::system_error&) {
        return;
    }
    stream_ = std::move(stream);
}

void FileSystemWatcher::stop() {
    std::shared_ptr<Stream> stream;
    {
        std::lock_guard guard(streamLock_);
        stream = std::move(stream_);
    }
    if (!stream) return;
    // From here on changes go unseen: every ID handed out so far is history.
    const std::uint64_t stopID = advanceEventID(true);
    for (std::uint64_t last = lastStopID.load();
         last < stopID && !lastStopID.compare_exchange_weak(last, stopID);) {
    }
    stream->stopping = true;
    std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(stream->wake.get(), &one, sizeof one);
    if (stream->thread.get_id() == std::this_thread::get_id()) {
        stream->thread.detach(); // called from a delivery: the thread ends when it returns
    } else {
        stream->thread.join();
    }
}

std::uint64_t FileSystemWatcher::lastKnownEventID() const {
    std::lock_guard guard(eventIDs_->lock);
    return eventIDs_->lastKnown;
}

std::uint64_t FileSystemWatcher::currentEventID() {
    return presentEventID();
}

std::optional<std::string> FileSystemWatcher::deviceUUID(const std::string& path,
                                                         const std::filesystem::path& deviceRoot,
                                                         const std::filesystem::path& sysRoot,
                                                         const std::filesystem::path& mountTable) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    unsigned major = ::major(status.st_dev);
    unsigned minor = ::minor(status.st_dev);
    BlockDevices devices(deviceRoot, sysRoot);
    if (auto name = devices.deviceName(major, minor)) {
        if (auto uuid = devices.uuid(*name)) return uuid;
    }
    // File systems with an anonymous device number (btrfs, …) are found by their mount source.
    for (const auto& mount : MountTable::read(mountTable)) {
        if (mount.major != major || mount.minor != minor) continue;
        if (auto name = devices.deviceName(mount)) {
            if (auto uuid = devices.uuid(*name)) return uuid;
        }
    }
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0 || info.f_fsid == 0) return std::nullopt;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016" PRIx64, static_cast<std::uint64_t>(info.f_fsid));
    return std::string(hex);
}

} // namespace ulmaro
