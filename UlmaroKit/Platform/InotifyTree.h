#pragma once

#include "UlmaroKit/Platform/UniqueFd.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace ulmaro {

/// What a round of inotify events means, in the order the kernel reported them.
struct InotifyChanges {
    /// Paths as raw bytes; a path may repeat.
    std::vector<std::string> paths;
    /// Events were lost, a root went away, or the watch budget ran out: nobody can tell
    /// from the paths alone what changed.
    bool mustRescan = false;
};

/// inotify over whole folder trees: one watch per folder, folders that appear are watched
/// at once (and what they already hold is reported, since it came before their watch),
/// folders renamed inside a tree are followed, folders moved out are dropped.
///
/// Folders on kernel or network file systems met below a root (/proc, /sys, NFS, …) are
/// not entered: their changes do not come through inotify.
///
/// Not thread-safe: one thread reads and handles the events.
class InotifyTree {
public:
    /// Whether a folder below a root gets no watch (so nothing inside it is reported); the
    /// folder itself is still reported by its parent's watch.
    using SkipInside = std::function<bool(const std::string& folderPath)>;

    /// `maxWatches` caps the watches below the kernel's own budget (0: no cap of ours). While
    /// `cancel` (when given) is set, walks of large trees stop early.
    /// Throws std::system_error when the kernel refuses an inotify instance.
    explicit InotifyTree(std::size_t maxWatches = 0, const std::atomic<bool>* cancel = nullptr,
                         SkipInside skipInside = {});

    /// The descriptor to poll for events. It changes after a lost-events recovery.
    int fd() const { return fd_.get(); }
    std::size_t watchCount() const { return nodes_.size(); }

    /// Watches `root` and every folder below it. False when the root cannot be watched. A root
    /// that is a symbolic link is followed; its changes are reported under the given path.
    /// A budget that runs out on the way sets `changes.mustRescan`. `betweenLevels` runs after
    /// each level of folders is watched (a large tree takes seconds), and may read events.
    bool addRoot(const std::string& root, InotifyChanges& changes,
                 const std::function<void()>& betweenLevels = {});

    /// Reads what is queued, without blocking, and appends what it means to `changes`.
    /// After lost events every watch is put in place again.
    void readEvents(InotifyChanges& changes);

    /// A folder was moved away and its arrival has not been read (yet).
    bool hasUnpairedMoves() const { return !moves_.empty(); }
    /// Folders whose move out has stayed unpaired past a later read (or any, when `all`) have
    /// left the trees: their watches go.
    void settleMoves(bool all);

private:
    struct Node {
        int parent = -1; // -1 for a root or a folder moved away
        bool detached = false;
        std::string name; // a root holds its whole path
        std::vector<int> children;
    };
    struct Move {
        int wd;
        std::uint32_t cookie;
        unsigned round;
    };

    static std::string key(int parent, std::string_view name);
    std::string pathOf(int wd, bool& known) const;
    bool walk(int parent, const std::string& name, const std::string& path, InotifyChanges& changes,
              bool report, const std::function<void()>& betweenLevels = {});
    void link(int wd, int parent, const std::string& name);
    void unlink(int wd);
    void forget(int wd);
    void handle(int wd, std::uint32_t mask, std::uint32_t cookie, std::string_view name,
                InotifyChanges& changes);
    void rebuild(InotifyChanges& changes);

    UniqueFd fd_;
    std::size_t maxWatches_;
    const std::atomic<bool>* cancel_;
    SkipInside skipInside_;
    std::vector<std::string> roots_;
    std::unordered_map<int, Node> nodes_;
    std::unordered_map<std::string, int> children_; // key(parent, name) → wd
    std::vector<Move> moves_;
    unsigned round_ = 0;
    bool overflowed_ = false;
    /// A root is being walked: lost events are dealt with once it is done.
    bool addingRoot_ = false;
};

} // namespace ulmaro
