#include "UlmaroKit/Scanning/DirectoryScanner.h"

#include "UlmaroKit/Platform/UniqueFd.h"
#include "UlmaroKit/Platform/Utf8.h"
#include "UlmaroKit/Platform/WorkerPool.h"
#include "UlmaroKit/Scanning/DirectoryScannerEntries.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>

namespace ulmaro {
namespace {

using Clock = std::chrono::steady_clock;

// Bump allocation for what the walk keeps until the records are laid out: packed entries
// and folder nodes. Freed all at once when the scan ends.
class Arena {
public:
    unsigned char* allocate(std::size_t n) {
        n = (n + 7) & ~std::size_t{7};
        if (n > chunkSize / 4) return chunks_.emplace_back(newChunk(n)).get();
        if (n > left_) {
            next_ = chunks_.emplace_back(newChunk(chunkSize)).get();
            left_ = chunkSize;
        }
        unsigned char* p = next_;
        next_ += n;
        left_ -= n;
        return p;
    }

private:
    static constexpr std::size_t chunkSize = 256 * 1024;
    static std::unique_ptr<unsigned char[]> newChunk(std::size_t n) {
        return std::make_unique_for_overwrite<unsigned char[]>(n);
    }

    std::vector<std::unique_ptr<unsigned char[]>> chunks_;
    unsigned char* next_ = nullptr;
    std::size_t left_ = 0;
};

// One folder of the tree: filled by the worker that read it, laid out afterwards.
struct Node {
    const Node* parent = nullptr;
    const unsigned char* entries = nullptr;  // packed, see DirectoryEntries
    Node* children = nullptr;                // the subfolders to enter, in reading order
    const std::string* deniedPath = nullptr; // kept only for EPERM inside the home folder
    std::size_t packedSize = 0;
    std::uint64_t nameBytes = 0;
    std::uint32_t indexInParent = 0;
    std::uint32_t depth = 0;
    std::uint32_t entryCount = 0;
    std::uint32_t childCount = 0;
    std::uint32_t firstRecord = 0;
    std::uint32_t firstNameByte = 0;
    int error = 0;
    bool read = false; // false when the scan stopped before reaching it
};
static_assert(std::is_trivially_destructible_v<Node>);

struct Task {
    Node* node;
    std::string path;
};

class ProgressReporter {
public:
    ProgressReporter(double minInterval, const DirectoryScanner::Progress& onProgress)
        : minInterval_(std::chrono::duration_cast<Clock::duration>(
              std::chrono::duration<double>(minInterval))),
          onProgress_(onProgress) {}

    void report(std::int64_t entries) {
        std::unique_lock lock(lock_);
        count_ += entries;
        const Clock::time_point now = Clock::now();
        if (lastFired_ && now - *lastFired_ < minInterval_) return;
        lastFired_ = now;
        const std::int64_t count = count_;
        lock.unlock();
        onProgress_(count);
    }

private:
    std::mutex lock_;
    std::int64_t count_ = 0;
    std::optional<Clock::time_point> lastFired_;
    Clock::duration minInterval_;
    const DirectoryScanner::Progress& onProgress_;
};

struct alignas(64) Worker {
    std::mutex lock;
    std::deque<Task> queue;             // guarded by lock
    std::atomic<std::size_t> queued{0}; // lets thieves skip empty queues without locking
    Arena arena;
    DirectoryEntries entries;
    std::unique_ptr<unsigned char[]> buffer =
        std::make_unique_for_overwrite<unsigned char[]>(bufferSize);
    std::deque<std::string> deniedPaths;

    static constexpr std::size_t bufferSize = 64 * 1024;
};

EntryKind kindOf(unsigned char type) {
    switch (type) {
    case DT_DIR:
        return EntryKind::directory;
    case DT_REG:
        return EntryKind::regularFile;
    case DT_LNK:
        return EntryKind::symbolicLink;
    default:
        return EntryKind::other;
    }
}

EntryKind kindOfMode(mode_t mode) {
    if (S_ISDIR(mode)) return EntryKind::directory;
    if (S_ISREG(mode)) return EntryKind::regularFile;
    if (S_ISLNK(mode)) return EntryKind::symbolicLink;
    return EntryKind::other;
}

// The parallel walk: every folder is one task; each worker takes its own newest task
// (depth first, so its queue stays short) and steals the oldest of another's (the
// shallowest, so the largest piece of work) when it has none.
class Walk {
public:
    Walk(const DescentRule& rule, const DirectoryScanner::FaultInjection& faults,
         std::string_view home, const DirectoryScanner::ShouldContinue* shouldContinue,
         ProgressReporter* progress, unsigned threads)
        : rule_(rule), faults_(faults), home_(home), shouldContinue_(shouldContinue),
          progress_(progress) {
        for (unsigned i = 0; i < threads; ++i)
            workers_.push_back(std::make_unique<Worker>());
    }

    void run(Node& root, std::string rootPath) {
        pending_ = 1;
        workers_[0]->queue.push_back({&root, std::move(rootPath)});
        workers_[0]->queued = 1;
        WorkerPool::shared().parallelFor(
            workers_.size(), [this](std::size_t w) { work(w); },
            static_cast<unsigned>(workers_.size()));
    }

    bool stopped() const { return stopped_.load(); }

private:
    void work(std::size_t w) {
        Worker& me = *workers_[w];
        unsigned idleRounds = 0;
        while (!stopped_.load(std::memory_order_relaxed)) {
            std::optional<Task> task = take(w);
            if (!task) {
                if (pending_.load(std::memory_order_acquire) == 0) return;
                if (++idleRounds < 64)
                    std::this_thread::yield();
                else
                    std::this_thread::sleep_for(std::chrono::microseconds(50));
                continue;
            }
            idleRounds = 0;
            process(me, *task);
            pending_.fetch_sub(1, std::memory_order_acq_rel);
        }
    }

    std::optional<Task> take(std::size_t w) {
        {
            Worker& me = *workers_[w];
            std::lock_guard lock(me.lock);
            if (!me.queue.empty()) {
                Task task = std::move(me.queue.back());
                me.queue.pop_back();
                me.queued.store(me.queue.size(), std::memory_order_relaxed);
                return task;
            }
        }
        for (std::size_t k = 1; k < workers_.size(); ++k) {
            Worker& victim = *workers_[(w + k) % workers_.size()];
            if (victim.queued.load(std::memory_order_relaxed) == 0) continue;
            std::lock_guard lock(victim.lock);
            if (victim.queue.empty()) continue;
            Task task = std::move(victim.queue.front());
            victim.queue.pop_front();
            victim.queued.store(victim.queue.size(), std::memory_order_relaxed);
            return task;
        }
        return std::nullopt;
    }

    void process(Worker& me, Task& task) {
        if (shouldContinue_ != nullptr && !(*shouldContinue_)()) {
            stopped_ = true;
            return;
        }
        Node& node = *task.node;
        node.error = read(me, task.path, node.depth == 0);
        node.read = true;
        DirectoryEntries& entries = me.entries;
        if (entries.count() > 0) {
            unsigned char* packed = me.arena.allocate(entries.packed().size());
            std::memcpy(packed, entries.packed().data(), entries.packed().size());
            node.entries = packed;
            node.packedSize = entries.packed().size();
            node.entryCount = entries.count();
            node.nameBytes = entries.nameBytes();
        }
        if (node.error == EPERM && isInHome(task.path))
            node.deniedPath = &me.deniedPaths.emplace_back(std::move(task.path));

        std::vector<DirectoryEntries::Subdirectory>& subdirectories = entries.subdirectories();
        if (!subdirectories.empty()) {
            const std::size_t k = subdirectories.size();
            node.children = reinterpret_cast<Node*>(me.arena.allocate(k * sizeof(Node)));
            node.childCount = static_cast<std::uint32_t>(k);
            for (std::size_t i = 0; i < k; ++i) {
                Node* child = std::construct_at(node.children + i);
                child->parent = &node;
                child->indexInParent = subdirectories[i].index;
                child->depth = node.depth + 1;
            }
            pending_.fetch_add(static_cast<std::int64_t>(k), std::memory_order_relaxed);
            std::lock_guard lock(me.lock);
            for (std::size_t i = 0; i < k; ++i)
                me.queue.push_back({node.children + i, std::move(subdirectories[i].path)});
            me.queued.store(me.queue.size(), std::memory_order_relaxed);
        }
        if (progress_ != nullptr && node.entryCount > 0) progress_->report(node.entryCount);
    }

    // Reads one folder into me.entries; returns 0 or the errno that stopped it.
    int read(Worker& me, const std::string& path, bool isRoot) {
        me.entries.start(path);
        if (faults_.openError) {
            if (int error = faults_.openError(path)) return error;
        }
        // The root may be reached through a link the user named; below it links are
        // recorded, never followed.
        const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (isRoot ? 0 : O_NOFOLLOW);
        UniqueFd fd(::open(path.empty() ? "/" : path.c_str(), flags));
        if (!fd) return errno;
        bool firstBatch = true;
        for (;;) {
            if (!firstBatch && faults_.readError) {
                if (int error = faults_.readError(path)) return error;
            }
            const ssize_t n = ::getdents64(fd.get(), me.buffer.get(), Worker::bufferSize);
            if (n < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            if (n == 0) return 0;
            firstBatch = false;
            addBatch(me, fd.get(), static_cast<std::size_t>(n));
        }
    }

    void addBatch(Worker& me, int fd, std::size_t length) {
        constexpr std::size_t nameAt = offsetof(struct dirent64, d_name);
        const unsigned char* buffer = me.buffer.get();
        for (std::size_t at = 0; at + nameAt <= length;) {
            unsigned short recordLength;
            std::memcpy(&recordLength, buffer + at + offsetof(struct dirent64, d_reclen),
                        sizeof recordLength);
            if (recordLength <= nameAt || at + recordLength > length) break;
            const unsigned char type = buffer[at + offsetof(struct dirent64, d_type)];
            const char* name = reinterpret_cast<const char*>(buffer + at + nameAt);
            const std::string_view nameView(name, ::strnlen(name, recordLength - nameAt));
            at += recordLength;
            if (nameView.empty() || nameView == "." || nameView == "..") continue;
            EntryKind kind = kindOf(type);
            if (type == DT_UNKNOWN) {
                struct stat st;
                if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                    kind = kindOfMode(st.st_mode);
            }
            me.entries.add(nameView, kind, rule_);
        }
    }

    bool isInHome(std::string_view path) const {
        if (home_.empty()) return false;
        std::string_view home = home_;
        while (!home.empty() && home.back() == '/')
            home.remove_suffix(1);
        return path.starts_with(home) && (path.size() == home.size() || path[home.size()] == '/');
    }

    const DescentRule& rule_;
    const DirectoryScanner::FaultInjection& faults_;
    std::string_view home_;
    const DirectoryScanner::ShouldContinue* shouldContinue_;
    ProgressReporter* progress_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::atomic<std::int64_t> pending_{0};
    std::atomic<bool> stopped_{false};
};

// The folders in record order: the first `seedDepth` levels breadth-first, then each
// folder below them with its subtree depth-first, last-read subfolder first.
std::vector<Node*> layoutOrder(Node& root, int seedDepth) {
    std::vector<Node*> order;
    std::vector<Node*> level{&root};
    std::vector<Node*> next;
    for (int depth = 0; depth < seedDepth && !level.empty(); ++depth) {
        next.clear();
        for (Node* node : level) {
            if (!node->read) continue;
            order.push_back(node);
            for (std::uint32_t i = 0; i < node->childCount; ++i)
                next.push_back(node->children + i);
        }
        std::swap(level, next);
    }
    std::vector<Node*> stack;
    for (Node* top : level) {
        stack.push_back(top);
        while (!stack.empty()) {
            Node* node = stack.back();
            stack.pop_back();
            if (!node->read) continue;
            order.push_back(node);
            for (std::uint32_t i = 0; i < node->childCount; ++i)
                stack.push_back(node->children + i);
        }
    }
    return order;
}

// Writes the walk's records into the builder, in parallel over runs of folders.
void fillRecords(IndexBuilder& builder, const std::vector<Node*>& order, const Node& root,
                 std::uint32_t rootID, std::uint8_t volumeIndex, std::uint64_t recordCount,
                 std::uint64_t blobLength) {
    builder.records.resize(recordCount);
    builder.nameBlob.resize(blobLength);
    const std::uint64_t firstRecord = order.empty() ? recordCount : order.front()->firstRecord;
    const std::uint64_t perRun = std::max<std::uint64_t>(
        16384, (recordCount - firstRecord) / (8 * WorkerPool::shared().threadCount()) + 1);
    std::vector<std::size_t> runStarts;
    std::uint64_t sinceStart = perRun;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (sinceStart >= perRun) {
            runStarts.push_back(i);
            sinceStart = 0;
        }
        sinceStart += order[i]->entryCount;
    }
    runStarts.push_back(order.size());
    parallelFor(runStarts.size() - 1, [&](std::size_t run) {
        for (std::size_t i = runStarts[run]; i < runStarts[run + 1]; ++i) {
            const Node& node = *order[i];
            const std::uint32_t parentID =
                &node == &root ? rootID : node.parent->firstRecord + node.indexInParent;
            FileRecord* record = builder.records.data() + node.firstRecord;
            std::uint32_t nameOffset = node.firstNameByte;
            unsigned char* blob = builder.nameBlob.data();
            DirectoryEntries::forEach(
                {node.entries, node.packedSize}, [&](std::string_view name, RecordFlags flags) {
                    *record++ = FileRecord{.parentID = parentID,
                                           .nameOffset = nameOffset,
                                           .nameLen = static_cast<std::uint8_t>(name.size()),
                                           .flags = flags,
                                           .volumeIndex = volumeIndex};
                    std::memcpy(blob + nameOffset, name.data(), name.size());
                    nameOffset += static_cast<std::uint32_t>(name.size());
                });
        }
    });
}

} // namespace

DirectoryScanner::DirectoryScanner(ScanPolicy policy, int seedDepth, double progressInterval,
                                   std::string homeDirectory)
    : policy_(std::move(policy)), seedDepth_(std::max(seedDepth, 0)),
      progressInterval_(std::max(progressInterval, 0.0)), homeDirectory_(std::move(homeDirectory)),
      mountPoints_(ScanPolicy::unenterableMountPoints()) {}

bool DirectoryScanner::isFixableDenial(int error) {
    return error == EPERM;
}

std::string DirectoryScanner::absoluteRoot(std::string_view root) {
    std::filesystem::path path{std::string(root)};
    if (path.is_relative()) path = std::filesystem::current_path() / path;
    std::string normal = path.lexically_normal().native();
    while (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();
    return normal;
}

ScanResult DirectoryScanner::scan(std::string_view root, std::uint8_t volumeIndex) const {
    return scan(root, volumeIndex, nullptr, nullptr);
}

ScanResult DirectoryScanner::scan(std::string_view root, std::uint8_t volumeIndex,
                                  const Progress& onProgress,
                                  const ShouldContinue& shouldContinue) const {
    const Clock::time_point start = Clock::now();
    ScanResult result;
    IndexBuilder& builder = result.builder;

    // Root chain: "/" and one folder record per component of the root.
    std::string rootPath = absoluteRoot(root);
    if (rootPath == "/") rootPath.clear();
    std::uint32_t rootID =
        builder.addEntry({}, FileRecord::rootParentID, RecordFlags::isDirectory, volumeIndex);
    for (std::size_t at = 0; at < rootPath.size();) {
        std::size_t end = std::min(rootPath.find('/', at), rootPath.size());
        if (end > at)
            rootID = builder.addEntry(std::string_view(rootPath).substr(at, end - at), rootID,
                                      RecordFlags::isDirectory, volumeIndex);
        at = end + 1;
    }

    std::optional<ProgressReporter> progress;
    if (onProgress) progress.emplace(progressInterval_, onProgress);
    const DescentRule rule(policy_, mountPoints_, rootPath);
    Node rootNode;
    Walk walk(rule, faults_, homeDirectory_, shouldContinue ? &shouldContinue : nullptr,
              progress ? &*progress : nullptr, WorkerPool::shared().threadCount());
    walk.run(rootNode, rootPath);

    const std::vector<Node*> order = layoutOrder(rootNode, seedDepth_);
    std::uint64_t recordCount = builder.records.size();
    std::uint64_t blobLength = builder.nameBlob.size();
    for (Node* node : order) {
        checkIndexLimits(recordCount + node->entryCount, blobLength + node->nameBytes);
        node->firstRecord = static_cast<std::uint32_t>(recordCount);
        node->firstNameByte = static_cast<std::uint32_t>(blobLength);
        recordCount += node->entryCount;
        blobLength += node->nameBytes;
        if (node->error != 0) ++result.directoriesDenied;
        if (node->deniedPath != nullptr) {
            ++result.directoriesDeniedInHome;
            if (result.deniedPathsInHome.size() < deniedSampleCap)
                result.deniedPathsInHome.push_back(repairUtf8(*node->deniedPath));
        }
    }
    result.entriesScanned = static_cast<std::int64_t>(recordCount - builder.records.size());
    result.rootError = rootNode.read ? rootNode.error : 0;
    fillRecords(builder, order, rootNode, rootID, volumeIndex, recordCount, blobLength);

    result.cancelled = walk.stopped() || (shouldContinue && !shouldContinue());
    result.duration = std::chrono::duration<double>(Clock::now() - start).count();
    return result;
}

} // namespace ulmaro
