#include "UlmaroKit/Scanning/AttributeFiller.h"

#include "UlmaroKit/Index/AttributeCarryForward.h"
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Platform/UniqueFd.h"
#include "UlmaroKit/Platform/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace ulmaro {
namespace {

constexpr std::uint32_t noParent = FileRecord::rootParentID;
// A huge folder is split so that its children spread over the threads too.
constexpr std::uint32_t maxChildrenPerJob = 2048;
constexpr std::int64_t progressStep = 50'000;

struct Job {
    std::uint32_t dir;
    std::uint32_t lo; // range in the child list
    std::uint32_t hi;
};

// A name that denotes exactly one entry of its folder.
bool isPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == name.npos &&
           name.find('\0') == name.npos;
}

class Tree {
public:
    explicit Tree(IndexBuilder& builder)
        : records_(builder.records.data()), count_(builder.records.size()),
          blob_(reinterpret_cast<const char*>(builder.nameBlob.data()), builder.nameBlob.size()) {}

    FileRecord& operator[](std::uint32_t id) const { return records_[id]; }

    std::string_view name(std::uint32_t id) const {
        const FileRecord& r = records_[id];
        if (std::uint64_t{r.nameOffset} + r.nameLen > blob_.size()) return {};
        return blob_.substr(r.nameOffset, r.nameLen);
    }

    // The directory's absolute path in raw name bytes, built from the root record down with
    // no depth limit. None when the chain does not lead from the root record (empty name,
    // no parent) through strictly smaller IDs, or holds a name that is not a plain name:
    // such a path would be relative, or another folder's.
    std::optional<std::string> path(std::uint32_t id) const {
        std::vector<std::uint32_t> chain;
        for (std::uint32_t at = id;;) {
            std::uint32_t parent = records_[at].parentID;
            if (parent == noParent) {
                if (!name(at).empty()) return std::nullopt;
                break;
            }
            if (parent >= at) return std::nullopt;
            chain.push_back(at);
            at = parent;
        }
        if (chain.empty()) return std::string("/");
        std::size_t length = 0;
        for (std::uint32_t at : chain) {
            if (!isPlainName(name(at))) return std::nullopt;
            length += 1 + name(at).size();
        }
        std::string path(length, '/');
        char* out = path.data();
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            std::string_view part = name(*it);
            std::memcpy(out + 1, part.data(), part.size());
            out += 1 + part.size();
        }
        return path;
    }

    std::size_t count() const { return count_; }

private:
    FileRecord* records_;
    std::size_t count_;
    std::string_view blob_;
};

// Opens a directory for *at calls only (O_PATH needs no read permission). A path longer
// than the kernel takes in one call is walked one component at a time.
UniqueFd openDirectory(const std::string& path) {
    constexpr int flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    UniqueFd fd(::open(path.c_str(), flags));
    if (fd || errno != ENAMETOOLONG) return fd;
    fd.reset(::open("/", flags));
    std::size_t at = 1;
    while (fd && at < path.size()) {
        std::size_t end = std::min(path.find('/', at), path.size());
        std::string part = path.substr(at, end - at);
        fd = UniqueFd(::openat(fd.get(), part.c_str(), flags));
        at = end + 1;
    }
    return fd;
}

// Stats each child of one job by name relative to its folder and stores what it finds.
// Jobs own disjoint sets of records (a record has one parent), so workers write records
// without a lock; the fields they read elsewhere (parents, names) are never written here.
void fillJob(const Tree& tree, const Job& job, const std::vector<std::uint32_t>& children) {
    auto path = tree.path(job.dir);
    if (!path) return;
    UniqueFd dir = openDirectory(*path);
    if (!dir) return;
    char name[256];
    for (std::uint32_t i = job.lo; i < job.hi; ++i) {
        std::uint32_t child = children[i];
        std::string_view bytes = tree.name(child);
        if (!isPlainName(bytes)) continue;
        std::memcpy(name, bytes.data(), bytes.size());
        name[bytes.size()] = '\0';
        struct statx sx;
        if (::statx(dir.get(), name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                    STATX_TYPE | STATX_SIZE | STATX_MTIME, &sx) != 0)
            continue;
        FileRecord& record = tree[child];
        record.size = S_ISDIR(sx.stx_mode) ? 0 : sx.stx_size;
        record.mtime = static_cast<std::uint32_t>(std::clamp<std::int64_t>(
            sx.stx_mtime.tv_sec, 0, std::numeric_limits<std::uint32_t>::max()));
        record.flags.insert(RecordFlags::attrsFilled);
    }
}

} // namespace

unsigned AttributeFiller::threadCount(Appetite appetite, unsigned activeProcessors) {
    unsigned p = std::max(1u, activeProcessors);
    switch (appetite) {
    case Appetite::watching:
        return std::clamp(p - 1, 1u, 8u);
    case Appetite::working:
        return p >= 8 ? 4 : std::max(1u, p / 2);
    }
    return 1;
}

void AttributeFiller::fill(IndexBuilder& builder, const std::function<bool()>& shouldContinue,
                           bool onlyMissing, Appetite appetite,
                           const std::function<void(std::int64_t)>& onProgress) {
    const std::size_t n = builder.records.size();
    if (n == 0) return;
    Tree tree(builder);
    auto children = AttributeCarryForward::CSR::build(builder.records);

    std::vector<bool> marked(n, !onlyMissing);
    if (onlyMissing) {
        for (std::uint32_t id = 0; id < n; ++id) {
            if (!tree[id].flags.contains(RecordFlags::isDirectory)) continue;
            auto kids = children.ids(id);
            bool missing = std::any_of(kids.begin(), kids.end(), [&](std::uint32_t c) {
                return !tree[c].flags.contains(RecordFlags::attrsFilled);
            });
            if (!missing) continue;
            marked[id] = true;
            // A folder's own size and time come from its parent's listing.
            if (tree[id].parentID < n) marked[tree[id].parentID] = true;
        }
    }

    std::vector<Job> jobs;
    for (std::uint32_t id = 0; id < n; ++id) {
        if (!marked[id] || !tree[id].flags.contains(RecordFlags::isDirectory)) continue;
        std::uint32_t lo = children.offsets[id], hi = children.offsets[id + 1];
        for (std::uint32_t at = lo; at < hi; at += std::min(hi - at, maxChildrenPerJob))
            jobs.push_back({id, at, at + std::min(hi - at, maxChildrenPerJob)});
    }
    if (jobs.empty()) {
        if (onProgress) onProgress(0);
        return;
    }

    std::atomic<bool> stopped{false};
    std::atomic<std::int64_t> processed{0};
    std::atomic<std::int64_t> lastReported{0};
    unsigned threads = threadCount(appetite, activeProcessorCount());
    parallelFor(
        jobs.size(),
        [&](std::size_t j) {
            if (stopped.load(std::memory_order_relaxed)) return;
            if (!shouldContinue()) {
                stopped.store(true, std::memory_order_relaxed);
                return;
            }
            const Job& job = jobs[j];
            fillJob(tree, job, children.childIDs);
            std::int64_t covered = job.hi - job.lo;
            std::int64_t now = processed.fetch_add(covered, std::memory_order_relaxed) + covered;
            std::int64_t last = lastReported.load(std::memory_order_relaxed);
            if (onProgress && now - last >= progressStep &&
                lastReported.compare_exchange_strong(last, now, std::memory_order_relaxed))
                onProgress(now);
        },
        threads);
    if (onProgress) onProgress(processed.load());
}

} // namespace ulmaro
