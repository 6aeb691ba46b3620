#include "UlmaroKit/Platform/InotifyTree.h"

#include "UlmaroKit/Platform/WorkerPool.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <memory>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <system_error>
#include <unistd.h>

namespace ulmaro {
namespace {

constexpr std::uint32_t watchMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_MOVED_FROM |
                                    IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                    IN_DONT_FOLLOW | IN_EXCL_UNLINK;

UniqueFd openInotify() {
    UniqueFd fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!fd) throw std::system_error(errno, std::generic_category(), "inotify_init1");
    return fd;
}

std::string join(const std::string& folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path = folder;
    if (path.empty() || path.back() != '/') path.push_back('/');
    path.append(name);
    return path;
}

// Kernel and network file systems: inotify sees nothing of what happens there.
bool isUnwatchable(int dirFd) {
    struct statfs info {};
    if (::fstatfs(dirFd, &info) != 0) return false;
    switch (static_cast<unsigned long>(info.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case TRACEFS_MAGIC:
    case DEBUGFS_MAGIC:
    case SECURITYFS_MAGIC:
    case PSTOREFS_MAGIC:
    case BPF_FS_MAGIC:
    case AUTOFS_SUPER_MAGIC:
    case BINFMTFS_MAGIC:
    case EFIVARFS_MAGIC:
    case HUGETLBFS_MAGIC:
    case NSFS_MAGIC:
    case NFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case 0xFF534D42UL: // cifs
    case 0xFE534D42UL: // smb2
    case 0x62656570UL: // configfs
    case 0x65735543UL: // fusectl
    case 0x19800202UL: // mqueue
        return true;
    default:
        return false;
    }
}

std::string normalizedRoot(std::string root) {
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root;
}

} // namespace

InotifyTree::InotifyTree(std::size_t maxWatches, const std::atomic<bool>* cancel,
                         SkipInside skipInside)
    : fd_(openInotify()), maxWatches_(maxWatches), cancel_(cancel),
      skipInside_(std::move(skipInside)) {}

std::string InotifyTree::key(int parent, std::string_view name) {
    std::string k(sizeof parent, '\0');
    std::memcpy(k.data(), &parent, sizeof parent);
    k.append(name);
    return k;
}

std::string InotifyTree::pathOf(int wd, bool& known) const {
    std::vector<const std::string*> parts;
    known = false;
    for (int at = wd;;) {
        auto it = nodes_.find(at);
        if (it == nodes_.end() || it->second.detached) return {};
        parts.push_back(&it->second.name);
        if (it->second.parent < 0) break;
        at = it->second.parent;
    }
    std::string path = *parts.back();
    for (auto part = parts.rbegin() + 1; part != parts.rend(); ++part)
        path = join(path, **part);
    known = true;
    return path;
}

bool InotifyTree::addRoot(const std::string& root, InotifyChanges& changes,
                          const std::function<void()>& betweenLevels) {
    std::string path = normalizedRoot(root);
    if (path.empty()) return false;
    if (std::find(roots_.begin(), roots_.end(), path) == roots_.end()) roots_.push_back(path);
    addingRoot_ = true;
    const bool watched = walk(-1, path, path, changes, false, betweenLevels);
    addingRoot_ = false;
    if (overflowed_) rebuild(changes);
    return watched;
}

void InotifyTree::link(int wd, int parent, const std::string& name) {
    auto& node = nodes_[wd];
    node.parent = parent;
    node.detached = false;
    node.name = name;
    if (parent < 0) return;
    auto [slot, inserted] = children_.try_emplace(key(parent, name), wd);
    if (!inserted && slot->second != wd) {
        // A folder took the place of one whose removal we have not read yet.
        int stale = slot->second;
        forget(stale);
        children_[key(parent, name)] = wd;
    }
    nodes_[parent].children.push_back(wd);
}

void InotifyTree::unlink(int wd) {
    auto it = nodes_.find(wd);
    if (it == nodes_.end() || it->second.parent < 0) return;
    auto parent = nodes_.find(it->second.parent);
    if (parent != nodes_.end()) {
        auto& siblings = parent->second.children;
        auto at = std::find(siblings.begin(), siblings.end(), wd);
        if (at != siblings.end()) {
            *at = siblings.back();
            siblings.pop_back();
        }
    }
    auto slot = children_.find(key(it->second.parent, it->second.name));
    if (slot != children_.end() && slot->second == wd) children_.erase(slot);
    it->second.parent = -1;
}

void InotifyTree::forget(int wd) {
    unlink(wd);
    std::vector<int> pending{wd};
    while (!pending.empty()) {
        int at = pending.back();
        pending.pop_back();
        auto it = nodes_.find(at);
        if (it == nodes_.end()) continue;
        for (int child : it->second.children) {
            auto slot = children_.find(key(at, nodes_[child].name));
            if (slot != children_.end() && slot->second == child) children_.erase(slot);
            pending.push_back(child);
        }
        // Harmless when the kernel has dropped the watch already.
        ::inotify_rm_watch(fd_.get(), at);
        nodes_.erase(it);
    }
}

namespace {

struct Pending {
    int parent;
    std::string name;
    std::string path;
    dev_t parentDevice;
    bool isRoot; // a root given as a link is followed
};

// What one folder gave: its watch, and its entries (all of them, or only the folders).
struct Visit {
    int wd = -1;
    bool outOfWatches = false;
    dev_t device = 0;
    std::vector<std::pair<std::string, bool>> entries; // name, whether a folder
};

} // namespace

static constexpr std::size_t listBufferSize = 32 * 1024;

// The watch goes on the folder just opened, through its descriptor: the kernel then looks up
// a short name instead of walking the whole path a second time, and it is the same folder
// even when a rename came between. (The descriptor was opened without following a link, so
// following /proc's link to it is safe.) Without /proc, the path as before.
static int addWatch(int inotifyFd, int dirFd, const Pending& folder) {
    const std::uint32_t mask = folder.isRoot ? watchMask & ~IN_DONT_FOLLOW : watchMask;
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", dirFd);
    const int wd = ::inotify_add_watch(inotifyFd, self, mask & ~IN_DONT_FOLLOW);
    if (wd >= 0 || (errno != ENOENT && errno != ENOTDIR)) return wd;
    return ::inotify_add_watch(inotifyFd, folder.path.c_str(), mask);
}

// The system calls for one folder; touches no member but the descriptor, so folders of one
// level are visited in parallel (the kernel serialises the watches themselves).
static Visit visitFolder(int inotifyFd, const Pending& folder, bool allEntries,
                         const InotifyTree::SkipInside& skipInside,
                         const std::function<bool()>& budgetSpent) {
    Visit visit;
    // Watches are a budget of the whole user: none for folders whose changes nobody wants.
    if (!folder.isRoot && skipInside && skipInside(folder.path)) return visit;
    UniqueFd dirFd(::open(folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK |
                                                   (folder.isRoot ? 0 : O_NOFOLLOW)));
    if (!dirFd) return visit; // gone already, or unreadable
    struct stat status {};
    if (::fstat(dirFd.get(), &status) != 0) return visit;
    if (folder.parent >= 0 && status.st_dev != folder.parentDevice && isUnwatchable(dirFd.get()))
        return visit;
    visit.device = status.st_dev;
    if (budgetSpent()) {
        visit.outOfWatches = true;
        return visit;
    }
    visit.wd = addWatch(inotifyFd, dirFd.get(), folder);
    if (visit.wd < 0) {
        visit.outOfWatches = errno == ENOSPC || errno == ENOMEM;
        return visit;
    }
    // getdents64 into a buffer of the thread's own: readdir would allocate 32 KiB per folder
    // and ask fcntl and fstat again for each.
    thread_local std::unique_ptr<unsigned char[]> buffer =
        std::make_unique_for_overwrite<unsigned char[]>(listBufferSize);
    constexpr std::size_t nameAt = offsetof(struct dirent64, d_name);
    for (;;) {
        const ssize_t n = ::getdents64(dirFd.get(), buffer.get(), listBufferSize);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (std::size_t at = 0; at + nameAt <= static_cast<std::size_t>(n);) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(buffer.get() + at);
            if (entry->d_reclen <= nameAt || at + entry->d_reclen > static_cast<std::size_t>(n))
                break;
            at += entry->d_reclen;
            const std::string_view entryName(entry->d_name,
                                             ::strnlen(entry->d_name, entry->d_reclen - nameAt));
            if (entryName.empty() || entryName == "." || entryName == "..") continue;
            bool isFolder = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN) {
                struct stat entryStatus {};
                isFolder =
                    ::fstatat(dirFd.get(), entry->d_name, &entryStatus, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISDIR(entryStatus.st_mode);
            }
            if (isFolder || allEntries) visit.entries.emplace_back(entryName, isFolder);
        }
    }
    return visit;
}

bool InotifyTree::walk(int parent, const std::string& name, const std::string& path,
                       InotifyChanges& changes, bool report,
                       const std::function<void()>& betweenLevels) {
    std::vector<Pending> level{{parent, name, path, 0, parent < 0}};
    bool watchedFirst = false;
    bool isStart = true;
    std::atomic<std::size_t> adding{0};
    auto budgetSpent = [&] {
        return maxWatches_ != 0 && nodes_.size() + adding.fetch_add(1) >= maxWatches_;
    };
    // Level by level: the system calls of a level in parallel, then its watches linked in
    // order, so the tree's bookkeeping stays on this thread.
    while (!level.empty() && !(cancel_ != nullptr && *cancel_)) {
        std::vector<Visit> visits(level.size());
        adding = 0;
        const int inotifyFd = fd_.get();
        auto visitOne = [&](std::size_t i) {
            if (cancel_ != nullptr && *cancel_) return;
            visits[i] = visitFolder(inotifyFd, level[i], report, skipInside_, budgetSpent);
        };
        if (level.size() == 1)
            visitOne(0);
        else
            parallelFor(level.size(), visitOne);

        std::vector<Pending> next;
        for (std::size_t i = 0; i < level.size(); ++i) {
            Pending& folder = level[i];
            Visit& visit = visits[i];
            if (visit.outOfWatches) changes.mustRescan = true;
            const int wd = visit.wd;
            if (wd < 0) continue;
            if (folder.parent >= 0 && !nodes_.contains(folder.parent)) {
                // Its parent went while events were read between levels.
                if (!nodes_.contains(wd)) ::inotify_rm_watch(fd_.get(), wd);
                continue;
            }
            auto known = nodes_.find(wd);
            if (known != nodes_.end() && known->second.detached) {
                // Moved away and back before the move out was settled: it is ours again.
                std::erase_if(moves_, [&](const Move& m) { return m.wd == wd; });
                link(wd, folder.parent, folder.name);
            } else if (known != nodes_.end() && (known->second.parent != folder.parent ||
                                                 known->second.name != folder.name)) {
                continue; // the same folder is watched already under another path
            } else if (known == nodes_.end()) {
                link(wd, folder.parent, folder.name);
            }
            if (isStart) watchedFirst = true;
            for (auto& [entryName, isFolder] : visit.entries) {
                std::string entryPath = join(folder.path, entryName);
                if (report) changes.paths.push_back(entryPath);
                if (isFolder)
                    next.push_back(
                        {wd, std::move(entryName), std::move(entryPath), visit.device, false});
            }
        }
        level = std::move(next);
        isStart = false;
        if (betweenLevels && !level.empty()) betweenLevels();
    }
    return watchedFirst;
}

void InotifyTree::readEvents(InotifyChanges& changes) {
    ++round_;
    alignas(inotify_event) char buffer[64 * 1024];
    while (!overflowed_) {
        ssize_t n = ::read(fd_.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) overflowed_ = true; // cannot read on: start over
        if (n <= 0) break;
        for (char* at = buffer; at < buffer + n && !overflowed_;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            std::string_view name =
                event->len > 0 ? std::string_view(event->name) : std::string_view();
            handle(event->wd, event->mask, event->cookie, name, changes);
            at += sizeof(inotify_event) + event->len;
        }
    }
    // Not in the middle of a root's walk: its levels to come hold descriptors of the old set.
    if (overflowed_ && !addingRoot_) rebuild(changes);
}

void InotifyTree::handle(int wd, std::uint32_t mask, std::uint32_t cookie, std::string_view name,
                         InotifyChanges& changes) {
    if (mask & IN_Q_OVERFLOW) {
        overflowed_ = true;
        return;
    }
    auto it = nodes_.find(wd);
    if (it == nodes_.end()) return;
    bool isRoot = it->second.parent < 0 && !it->second.detached;
    bool known = false;
    std::string base = pathOf(wd, known);
    if (mask & IN_IGNORED) {
        // The kernel dropped the watch: the folder is gone or its file system was unmounted.
        if (isRoot) {
            changes.paths.push_back(base);
            changes.mustRescan = true;
        }
        int parent = it->second.parent;
        std::string folderName = it->second.name;
        forget(wd);
        // After an unmount the folder beneath shows again; after a removal this finds nothing.
        if (!isRoot && known && nodes_.contains(parent))
            walk(parent, folderName, base, changes, true);
        return;
    }
    if (!known) return; // inside a folder moved away
    if (mask & IN_MOVE_SELF) {
        if (isRoot) {
            // The root now lives elsewhere; its watches would report the wrong paths.
            changes.paths.push_back(base);
            changes.mustRescan = true;
            forget(wd);
        }
        return;
    }
    std::string path = name.empty() ? base : join(base, name);
    if (mask & IN_DELETE_SELF) {
        if (isRoot) changes.paths.push_back(path);
        return; // a folder below a root was reported by its parent
    }
    changes.paths.push_back(path);
    if (!(mask & IN_ISDIR) || name.empty()) return;

    auto child = children_.find(key(wd, name));
    if (mask & IN_MOVED_FROM) {
        if (child == children_.end()) return;
        int moved = child->second;
        unlink(moved);
        nodes_[moved].detached = true;
        moves_.push_back({moved, cookie, round_});
    } else if (mask & IN_DELETE) {
        if (child != children_.end()) forget(child->second);
    } else if (mask & IN_MOVED_TO) {
        auto move = std::find_if(moves_.begin(), moves_.end(),
                                 [&](const Move& m) { return m.cookie == cookie; });
        if (move != moves_.end() && nodes_.contains(move->wd)) {
            int moved = move->wd;
            moves_.erase(move);
            link(moved, wd, std::string(name));
        } else {
            walk(wd, std::string(name), path, changes, true); // moved in from outside
        }
    } else if (mask & IN_CREATE) {
        walk(wd, std::string(name), path, changes, true);
    }
}

void InotifyTree::settleMoves(bool all) {
    std::vector<Move> kept;
    for (const auto& move : moves_) {
        if (all || move.round < round_) {
            auto it = nodes_.find(move.wd);
            if (it != nodes_.end() && it->second.detached) forget(move.wd);
        } else {
            kept.push_back(move);
        }
    }
    moves_ = std::move(kept);
}

void InotifyTree::rebuild(InotifyChanges& changes) {
    // Events were lost, so the watches may not match the trees any more: start afresh.
    changes.mustRescan = true;
    overflowed_ = false;
    try {
        fd_ = openInotify();
    } catch (const std::system_error&) {
        // Keep the old descriptor; the owner rescans anyway.
    }
    nodes_.clear();
    children_.clear();
    moves_.clear();
    for (const auto& root : roots_)
        walk(-1, root, root, changes, false);
}

} // namespace ulmaro
