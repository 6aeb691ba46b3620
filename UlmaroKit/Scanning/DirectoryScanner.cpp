#include "UlmaroKit/Scanning/DirectoryScanner.h"

#include "UlmaroKit/Platform/HugePages.h"
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
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

namespace ulmaro {
namespace {

using Clock = std::chrono::steady_clock;

// Bump allocation for the folder nodes, freed all at once when the scan ends.
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

// Bump allocation for the packed entries, in mapped chunks that go back to the system as
// soon as everything in them has been copied into the builder: the entries and the
// finished records are never both whole in memory.
class PackedArena {
public:
    struct Place {
        unsigned char* data;
        std::uint32_t chunk;
    };

    PackedArena() = default;
    PackedArena(const PackedArena&) = delete;
    PackedArena& operator=(const PackedArena&) = delete;
    ~PackedArena() {
        for (const Chunk& chunk : chunks_) {
            if (chunk.base != nullptr) ::munmap(chunk.base, chunk.size);
        }
    }

    Place allocate(std::size_t n) {
        if (n > chunkSize / 4) {
            newChunk(n);
            chunks_.back().live = n;
            Place place{chunks_.back().base, static_cast<std::uint32_t>(chunks_.size() - 1)};
            newChunk(chunkSize); // bump allocation goes on in a fresh chunk
            return place;
        }
        if (chunks_.empty() || chunks_.back().size - used_ < n) newChunk(chunkSize);
        Chunk& chunk = chunks_.back();
        Place place{chunk.base + used_, static_cast<std::uint32_t>(chunks_.size() - 1)};
        used_ += n;
        chunk.live += n;
        return place;
    }

    /// Called once the walk is over, for every allocation.
    void release(std::uint32_t index, std::size_t n) {
        Chunk& chunk = chunks_[index];
        chunk.live -= n;
        if (chunk.live == 0 && chunk.base != nullptr) {
            ::munmap(chunk.base, chunk.size);
            chunk.base = nullptr;
        }
    }

private:
    struct Chunk {
        unsigned char* base;
        std::size_t size;
        std::size_t live;
    };
    static constexpr std::size_t chunkSize = 256 * 1024;

    void newChunk(std::size_t size) {
        void* base =
            ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED) throw std::bad_alloc();
        chunks_.push_back({static_cast<unsigned char*>(base), size, 0});
        used_ = 0;
    }

    std::vector<Chunk> chunks_;
    std::size_t used_ = 0;
};

// One folder of the tree: filled by the worker that read it, laid out afterwards.
struct Node {
    Node* parent = nullptr;
    const char* name = nullptr;             // the full name, inside the parent's packed entries
    const unsigned char* entries = nullptr; // packed, see DirectoryEntries
    Node* children = nullptr;               // the subfolders to enter, in reading order
    PackedArena* packedArena = nullptr;
    const std::string* deniedPath = nullptr; // kept only for EPERM inside the home folder
    std::size_t packedSize = 0;
    std::uint64_t nameBytes = 0;
    std::uint32_t packedChunk = 0;
    std::uint32_t nameLength = 0;
    std::uint32_t indexInParent = 0;
    std::uint32_t entryCount = 0;
    std::uint32_t childCount = 0;
    std::uint32_t firstRecord = 0;
    std::uint32_t firstNameByte = 0;
    int error = 0;
    // Kept open for the children to open themselves relative to it, until the last of
    // them has (or the walk ends).
    int fd = -1;
    std::atomic<std::uint32_t> childrenToOpen{0};
    bool read = false; // false when the scan stopped before reaching it
};
static_assert(std::is_trivially_destructible_v<Node>);

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
    std::deque<Node*> queue;            // guarded by lock
    std::atomic<std::size_t> queued{0}; // lets thieves skip empty queues without locking
    Arena arena;
    PackedArena packedArena;
    DirectoryEntries entries;
    std::unique_ptr<unsigned char[]> buffer =
        std::make_unique_for_overwrite<unsigned char[]>(bufferSize);
    std::deque<std::string> strings; // long names and denied paths
    std::vector<Node*> keptOpen;     // nodes whose descriptor this worker kept
    std::vector<const DirectoryEntries::Subdirectory*> entering;

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

// How many folder descriptors the walk may hold open for their children: half of what the
// process may still open, less a margin for the rest of the program and one descriptor
// per worker for the folder it is reading.
std::int64_t descriptorBudget() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
    const auto soft = static_cast<std::int64_t>(std::min<rlim_t>(limit.rlim_cur, 1 << 20));
    std::error_code error;
    std::int64_t open = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
         it.increment(error))
        ++open;
    return std::clamp<std::int64_t>((soft - open - 64) / 2, 0, 4096);
}

// The parallel walk: every folder is one task; each worker takes its own newest task
// (depth first, so its queue stays short) and steals the oldest of another's (the
// shallowest, so the largest share of the work) when it has none. A folder opens relative to
// its parent's descriptor, so the kernel walks one name instead of the whole path.
class Walk {
public:
    Walk(const DescentRule& rule, const DirectoryScanner::FaultInjection& faults,
         std::string_view home, const DirectoryScanner::ShouldContinue* shouldContinue,
         ProgressReporter* progress, unsigned threads)
        : rule_(rule), faults_(faults), home_(home), shouldContinue_(shouldContinue),
          progress_(progress), descriptorBudget_(descriptorBudget()) {
        while (home_.size() > 1 && home_.back() == '/')
            home_.remove_suffix(1);
        for (unsigned i = 0; i < threads; ++i)
            workers_.push_back(std::make_unique<Worker>());
    }

    ~Walk() {
        // Descriptors still held for children the walk never reached (it was stopped).
        for (const auto& worker : workers_) {
            for (Node* node : worker->keptOpen) {
                if (node->childrenToOpen.load() > 0) ::close(node->fd);
            }
        }
    }

    void run(Node& root, std::string rootPath) {
        rootPath_ = std::move(rootPath);
        pending_ = 1;
        workers_[0]->queue.push_back(&root);
        workers_[0]->queued = 1;
        WorkerPool::shared().parallelFor(
            workers_.size(), [this](std::size_t w) { work(w); },
            static_cast<unsigned>(workers_.size()));
        if (error_) std::rethrow_exception(error_);
    }

    bool stopped() const { return stopped_.load(); }

private:
    void work(std::size_t w) {
        Worker& me = *workers_[w];
        unsigned idleRounds = 0;
        while (!stopped_.load(std::memory_order_relaxed)) {
            Node* node = take(w);
            if (node == nullptr) {
                if (pending_.load(std::memory_order_acquire) == 0) return;
                if (++idleRounds < 64)
                    std::this_thread::yield();
                else
                    std::this_thread::sleep_for(std::chrono::microseconds(50));
                continue;
            }
            idleRounds = 0;
            try {
                process(me, *node);
            } catch (...) {
                // A callback or an allocation failed: stop everyone, report it after the join.
                std::lock_guard lock(errorLock_);
                if (!error_) error_ = std::current_exception();
                stopped_ = true;
                return;
            }
            pending_.fetch_sub(1, std::memory_order_acq_rel);
        }
    }

    Node* take(std::size_t w) {
        {
            Worker& me = *workers_[w];
            std::lock_guard lock(me.lock);
            if (!me.queue.empty()) {
                Node* node = me.queue.back();
                me.queue.pop_back();
                me.queued.store(me.queue.size(), std::memory_order_relaxed);
                return node;
            }
        }
        for (std::size_t k = 1; k < workers_.size(); ++k) {
            Worker& victim = *workers_[(w + k) % workers_.size()];
            if (victim.queued.load(std::memory_order_relaxed) == 0) continue;
            std::lock_guard lock(victim.lock);
            if (victim.queue.empty()) continue;
            Node* node = victim.queue.front();
            victim.queue.pop_front();
            victim.queued.store(victim.queue.size(), std::memory_order_relaxed);
            return node;
        }
        return nullptr;
    }

    // The folder's absolute path ("" for "/"), rebuilt from the names up to the root.
    std::string pathOf(const Node& node) const {
        std::vector<const Node*> chain;
        for (const Node* n = &node; n->parent != nullptr; n = n->parent)
            chain.push_back(n);
        std::string path = rootPath_;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it)
            path.append(1, '/').append((*it)->name, (*it)->nameLength);
        return path;
    }

    void process(Worker& me, Node& node) {
        if (shouldContinue_ != nullptr && !(*shouldContinue_)()) {
            stopped_ = true;
            return;
        }
        UniqueFd fd;
        node.error = read(me, node, fd);
        node.read = true;
        DirectoryEntries& entries = me.entries;
        unsigned char* packed = nullptr;
        if (entries.count() > 0) {
            const PackedArena::Place place = me.packedArena.allocate(entries.packed().size());
            packed = place.data;
            std::memcpy(packed, entries.packed().data(), entries.packed().size());
            node.entries = packed;
            node.packedArena = &me.packedArena;
            node.packedChunk = place.chunk;
            node.packedSize = entries.packed().size();
            node.entryCount = entries.count();
            node.nameBytes = entries.nameBytes();
        }
        if (node.error == EPERM && !home_.empty()) {
            std::string path = pathOf(node);
            if (isInHome(path)) node.deniedPath = &me.strings.emplace_back(std::move(path));
        }

        me.entering.clear();
        for (const DirectoryEntries::Subdirectory& sub : entries.subdirectories()) {
            const std::string_view name = DirectoryEntries::fullName(sub, packed);
            if (rule_.mayEnter(name, [&] { return pathOf(node) + "/" + std::string(name); }))
                me.entering.push_back(&sub);
        }
        if (const std::size_t k = me.entering.size(); k > 0) {
            node.children = reinterpret_cast<Node*>(me.arena.allocate(k * sizeof(Node)));
            node.childCount = static_cast<std::uint32_t>(k);
            for (std::size_t i = 0; i < k; ++i) {
                const DirectoryEntries::Subdirectory& sub = *me.entering[i];
                std::string_view name = DirectoryEntries::fullName(sub, packed);
                if (!sub.longName.empty()) name = me.strings.emplace_back(sub.longName);
                Node* child = std::construct_at(node.children + i);
                child->parent = &node;
                child->name = name.data();
                child->nameLength = static_cast<std::uint32_t>(name.size());
                child->indexInParent = sub.index;
            }
            if (fd &&
                keptDescriptors_.fetch_add(1, std::memory_order_relaxed) < descriptorBudget_) {
                node.childrenToOpen.store(static_cast<std::uint32_t>(k), std::memory_order_relaxed);
                node.fd = fd.release();
                me.keptOpen.push_back(&node);
            } else if (fd) {
                keptDescriptors_.fetch_sub(1, std::memory_order_relaxed);
            }
            pending_.fetch_add(static_cast<std::int64_t>(k), std::memory_order_relaxed);
            std::lock_guard lock(me.lock);
            for (std::size_t c = 0; c < k; ++c)
                me.queue.push_back(node.children + c);
            me.queued.store(me.queue.size(), std::memory_order_relaxed);
        }
        if (progress_ != nullptr && node.entryCount > 0) progress_->report(node.entryCount);
    }

    // Opens the folder: relative to its parent's kept descriptor when there is one, else by
    // its whole path. The root may be reached through a link the user named; below it,
    // links are recorded, never followed.
    int open(const Node& node, std::string* pathForFaults) {
        if (faults_.openError) {
            *pathForFaults = pathOf(node);
            if (int error = faults_.openError(*pathForFaults)) {
                errno = error;
                return -1;
            }
        }
        if (node.parent == nullptr)
            return ::open(rootPath_.empty() ? "/" : rootPath_.c_str(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        constexpr int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;
        Node& parent = *node.parent;
        if (parent.fd < 0) return ::open(pathOf(node).c_str(), flags);
        const std::string name(node.name, node.nameLength);
        const int fd = ::openat(parent.fd, name.c_str(), flags);
        const int error = errno;
        if (parent.childrenToOpen.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            ::close(parent.fd);
            keptDescriptors_.fetch_sub(1, std::memory_order_relaxed);
        }
        errno = error;
        return fd;
    }

    // Reads one folder into me.entries; returns 0 or the errno that stopped it.
    int read(Worker& me, const Node& node, UniqueFd& fd) {
        me.entries.start(node.parent == nullptr
                             ? std::string_view(rootPath_).substr(rootPath_.rfind('/') + 1)
                             : std::string_view(node.name, node.nameLength));
        std::string path;
        fd.reset(open(node, &path));
        if (!fd) return errno;
        bool firstBatch = true;
        for (;;) {
            if (!firstBatch && faults_.readError) {
                if (path.empty()) path = pathOf(node);
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
            me.entries.add(nameView, kind);
        }
    }

    bool isInHome(std::string_view path) const {
        if (home_ == "/") return true;
        return path.starts_with(home_) &&
               (path.size() == home_.size() || path[home_.size()] == '/');
    }

    const DescentRule& rule_;
    const DirectoryScanner::FaultInjection& faults_;
    std::string_view home_;
    const DirectoryScanner::ShouldContinue* shouldContinue_;
    ProgressReporter* progress_;
    const std::int64_t descriptorBudget_;
    std::string rootPath_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::atomic<std::int64_t> pending_{0};
    std::atomic<std::int64_t> keptDescriptors_{0};
    std::atomic<bool> stopped_{false};
    std::mutex errorLock_;
    std::exception_ptr error_;
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

// Appends the walk's records to the builder in record order, handing each folder's
// entries back as soon as they are copied.
void fillRecords(IndexBuilder& builder, const std::vector<Node*>& order, const Node& root,
                 std::uint32_t rootID, std::uint8_t volumeIndex, std::uint64_t recordCount,
                 std::uint64_t blobLength) {
    builder.records.reserve(recordCount);
    builder.nameBlob.reserve(blobLength);
    adviseHugePages(builder.records.data(), builder.records.capacity() * sizeof(FileRecord));
    adviseHugePages(builder.nameBlob.data(), builder.nameBlob.capacity());
    for (const Node* node : order) {
        if (node->entryCount == 0) continue;
        const std::uint32_t parentID =
            node == &root ? rootID : node->parent->firstRecord + node->indexInParent;
        // Grown one folder at a time, so pages are touched as the entries are let go.
        const std::size_t firstRecord = builder.records.size();
        const std::size_t firstByte = builder.nameBlob.size();
        builder.records.resize(firstRecord + node->entryCount);
        builder.nameBlob.resize(firstByte + node->nameBytes);
        FileRecord* record = builder.records.data() + firstRecord;
        unsigned char* name = builder.nameBlob.data() + firstByte;
        auto nameOffset = static_cast<std::uint32_t>(firstByte);
        DirectoryEntries::forEach(
            {node->entries, node->packedSize}, [&](std::string_view bytes, RecordFlags flags) {
                *record++ = FileRecord{.parentID = parentID,
                                       .nameOffset = nameOffset,
                                       .nameLen = static_cast<std::uint8_t>(bytes.size()),
                                       .flags = flags,
                                       .volumeIndex = volumeIndex};
                std::memcpy(name, bytes.data(), bytes.size());
                name += bytes.size();
                nameOffset += static_cast<std::uint32_t>(bytes.size());
            });
        node->packedArena->release(node->packedChunk, node->packedSize);
    }
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
