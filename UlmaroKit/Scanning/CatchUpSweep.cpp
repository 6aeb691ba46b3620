#include "UlmaroKit/Scanning/CatchUpSweep.h"

#include "UlmaroKit/Index/AttributeCarryForward.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Platform/UniqueFd.h"
#include "UlmaroKit/Platform/WorkerPool.h"

#include <algorithm>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <unordered_map>

namespace ulmaro {
namespace {

constexpr std::uint32_t noParent = FileRecord::rootParentID;

struct Folder {
    std::uint32_t id = 0;
    std::size_t parent = 0; // slot of the parent folder; the root is its own
    std::string path;
    bool hasChildren = false;
    // Slots of the child folders: [childBegin, childEnd).
    std::size_t childBegin = 0;
    std::size_t childEnd = 0;
};

struct Status {
    bool found = false;
    bool isFolder = false;
    std::uint64_t changedAt = 0; // the later of mtime and ctime, in ns
    std::uint32_t devMajor = 0;
    std::uint32_t devMinor = 0;

    bool sameDevice(const Status& other) const {
        return devMajor == other.devMajor && devMinor == other.devMinor;
    }
};

std::string join(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (path.empty() || path.back() != '/') path.push_back('/');
    path.append(name);
    return path;
}

std::uint64_t nanoseconds(const statx_timestamp& t) {
    if (t.tv_sec < 0) return 0;
    return static_cast<std::uint64_t>(t.tv_sec) * 1'000'000'000u + t.tv_nsec;
}

Status statusOf(int dirFd, const char* name) {
    struct statx sx;
    Status status;
    if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                STATX_TYPE | STATX_MTIME | STATX_CTIME, &sx) != 0)
        return status;
    status.found = true;
    status.isFolder = S_ISDIR(sx.stx_mode);
    status.changedAt = std::max(nanoseconds(sx.stx_mtime), nanoseconds(sx.stx_ctime));
    status.devMajor = sx.stx_dev_major;
    status.devMinor = sx.stx_dev_minor;
    return status;
}

bool entersFolder(const ScanPolicy& policy, const std::string& path) {
    return policy.shouldDescend(path) && !policy.isExcluded(path);
}

struct Entry {
    std::string name;
    bool isFolder = false;
};

// A folder's entries, or none when it cannot be listed.
std::optional<std::vector<Entry>> list(int fd) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(fd), ::closedir);
    if (!dir) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<Entry> entries;
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            isFolder =
                ::fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISDIR(st.st_mode);
        }
        entries.push_back({std::string(name), isFolder});
    }
    return entries;
}

class Sweep {
public:
    Sweep(const IndexStore& store, const ScanPolicy& policy, const CatchUpSweep::Options& options,
          const std::atomic<bool>* cancel)
        : store_(store), policy_(policy), options_(options), cancel_(cancel),
          csr_(AttributeCarryForward::CSR::build(store.recordSpan(), true)) {}

    std::optional<std::vector<std::string>> run(const std::string& root, std::uint64_t threshold) {
        auto rootID = find(root);
        if (!rootID) return std::nullopt;
        collectFolders(*rootID, root);
        statFolders();
        if (!statuses_[0].found || !statuses_[0].isFolder) return std::nullopt;

        std::vector<std::size_t> changed;
        for (std::size_t i = 0; i < folders_.size(); ++i) {
            const Status& s = statuses_[i];
            if (!s.found || s.changedAt < threshold) continue;
            // A folder the index holds nothing of was entered only when it is on its
            // parent's file system (other mounts there were recorded, not entered).
            if (folders_[i].hasChildren || i == 0 || s.sameDevice(statuses_[folders_[i].parent]))
                changed.push_back(i);
        }
        std::vector<std::vector<std::string>> found(changed.size());
        parallelFor(changed.size(), [&](std::size_t k) { compare(changed[k], found[k]); });
        if (overflowed() || stopped()) return std::nullopt;

        std::vector<std::string> paths;
        paths.reserve(total_.load());
        for (auto& part : found)
            for (auto& path : part)
                paths.push_back(std::move(path));
        return paths;
    }

private:
    std::string_view name(std::uint32_t id) const { return store_.nameBytes(id); }
    bool isFolderRecord(std::uint32_t id) const {
        RecordFlags flags = store_[id].flags;
        return flags.contains(RecordFlags::isDirectory) && !flags.contains(RecordFlags::isSymlink);
    }
    bool stopped() const { return cancel_ != nullptr && cancel_->load(); }
    bool overflowed() const { return total_.load() > options_.cap; }
    bool drops(std::string_view path) const { return options_.drops && options_.drops(path); }
    // Whether a folder's inside is worth a look: a scan enters it and the owner keeps it.
    bool looksInside(const std::string& path) const {
        return entersFolder(policy_, path) && !(options_.dropsInside && options_.dropsInside(path));
    }

    // The root's record, found from the root record (empty name, no parent) down by names.
    std::optional<std::uint32_t> find(const std::string& root) const {
        std::optional<std::uint32_t> at;
        for (std::uint32_t id = 0; id < store_.count() && !at; ++id)
            if (store_[id].parentID == noParent && name(id).empty()) at = id;
        std::string_view rest = root;
        while (at && !rest.empty()) {
            rest.remove_prefix(std::min(rest.find_first_not_of('/'), rest.size()));
            if (rest.empty()) break;
            std::string_view part = rest.substr(0, rest.find('/'));
            rest.remove_prefix(part.size());
            std::optional<std::uint32_t> next;
            for (std::uint32_t child : csr_.ids(*at))
                if (name(child) == part) next = child;
            at = next;
        }
        if (at && !isFolderRecord(*at)) return std::nullopt;
        return at;
    }

    // Breadth first, so each folder's child folders take consecutive slots.
    void collectFolders(std::uint32_t rootID, const std::string& root) {
        folders_.push_back({rootID, 0, root, !csr_.ids(rootID).empty()});
        for (std::size_t i = 0; i < folders_.size(); ++i) {
            folders_[i].childBegin = folders_.size();
            const std::uint32_t id = folders_[i].id;
            for (std::uint32_t child : csr_.ids(id)) {
                if (!isFolderRecord(child)) continue;
                std::string path = join(folders_[i].path, name(child));
                if (!looksInside(path)) continue;
                folders_.push_back({child, i, std::move(path), !csr_.ids(child).empty()});
            }
            folders_[i].childEnd = folders_.size();
        }
    }

    void statFolders() {
        statuses_.assign(folders_.size(), Status{});
        statuses_[0] = statusOf(AT_FDCWD, folders_[0].path.c_str());
        parallelFor(folders_.size(), [&](std::size_t i) {
            const Folder& folder = folders_[i];
            if (folder.childBegin == folder.childEnd || stopped()) return;
            UniqueFd dir(::open(folder.path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (!dir) return;
            for (std::size_t c = folder.childBegin; c < folder.childEnd; ++c)
                statuses_[c] = statusOf(dir.get(), std::string(name(folders_[c].id)).c_str());
        });
    }

    void add(std::vector<std::string>& out, std::string path) {
        if (drops(path)) return;
        out.push_back(std::move(path));
        total_.fetch_add(1);
    }

    // Lists one changed folder and compares it with its children in the index.
    void compare(std::size_t slot, std::vector<std::string>& out) {
        if (overflowed() || stopped()) return;
        const Folder& folder = folders_[slot];
        int fd = ::open(folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) return; // gone (its parent reports it) or unreadable
        auto entries = list(fd);
        if (!entries) return;

        std::unordered_map<std::string_view, bool> known; // name → whether a folder
        for (std::uint32_t child : csr_.ids(folder.id))
            known.emplace(name(child), isFolderRecord(child));
        for (const Entry& entry : *entries) {
            auto it = known.find(entry.name);
            const bool isNew = it == known.end();
            const bool retyped = !isNew && it->second != entry.isFolder;
            if (!isNew) known.erase(it);
            if (!isNew && !retyped) continue;
            std::string path = join(folder.path, entry.name);
            if (entry.isFolder) addTree(path, statuses_[slot], out);
            add(out, std::move(path));
        }
        for (const auto& [vanished, wasFolder] : known)
            add(out, join(folder.path, vanished));
        std::sort(out.begin(), out.end());
    }

    // Every path below a folder that is new to the index, as far as a scan would go.
    void addTree(const std::string& top, const Status& parent, std::vector<std::string>& out) {
        std::vector<std::string> pending{top};
        while (!pending.empty() && !overflowed() && !stopped()) {
            std::string path = std::move(pending.back());
            pending.pop_back();
            if (!looksInside(path)) continue;
            int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
            if (fd < 0) continue;
            // Another file system mounted there is left to the next full scan.
            struct stat st {};
            if (::fstat(fd, &st) != 0 || ::major(st.st_dev) != parent.devMajor ||
                ::minor(st.st_dev) != parent.devMinor) {
                ::close(fd);
                continue;
            }
            auto entries = list(fd);
            if (!entries) continue;
            for (const Entry& entry : *entries) {
                std::string child = join(path, entry.name);
                if (entry.isFolder) pending.push_back(child);
                add(out, std::move(child));
            }
        }
    }

    const IndexStore& store_;
    const ScanPolicy& policy_;
    const CatchUpSweep::Options& options_;
    const std::atomic<bool>* cancel_;
    AttributeCarryForward::CSR csr_;
    std::vector<Folder> folders_;
    std::vector<Status> statuses_;
    std::atomic<std::size_t> total_{0};
};

std::uint64_t wallClockNanoseconds() {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    return ns > 0 ? static_cast<std::uint64_t>(ns) : 0;
}

} // namespace

std::optional<std::vector<std::string>>
CatchUpSweep::changesSince(const IndexStore& store, const std::string& root,
                           const ScanPolicy& policy, std::uint64_t sinceEventID,
                           const Options& options, const std::atomic<bool>* cancel) {
    const std::uint64_t now =
        options.nowNanoseconds != 0 ? options.nowNanoseconds : wallClockNanoseconds();
    if (sinceEventID > now || root.empty() || root.front() != '/') return std::nullopt;
    const double slack = std::clamp(options.slackSeconds, 0.0, 86400.0);
    const auto slackNs = static_cast<std::uint64_t>(slack * 1e9);
    const std::uint64_t threshold = sinceEventID > slackNs ? sinceEventID - slackNs : 0;
    std::string top = root;
    while (top.size() > 1 && top.back() == '/')
        top.pop_back();
    return Sweep(store, policy, options, cancel).run(top, threshold);
}

} // namespace ulmaro
