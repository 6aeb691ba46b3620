#pragma once

#include "UlmaroAppKit/Platform/MainQueue.h"
#include "UlmaroAppKit/Platform/SerialQueue.h"
#include "UlmaroKit/Index/IndexBuilder.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace ulmaro {

class IndexStore;

/// What the change stream reported since the last full scan: paths that existed when their
/// change arrived (`changed`) and paths that were gone (tombstones), each with the sequence
/// number of its latest change. The changed paths become a small second index, "delta.bin"
/// beside the main one, that searches read beside the main index while hiding `removed()`.
///
/// Lives on the main thread: every member is called there. Builds run on the shared build
/// queue over a snapshot and come back through the main queue, where only the newest
/// request's result is installed. Paths are raw bytes.
class LiveDelta {
public:
    /// Path to the sequence number of its latest change.
    using Entries = std::unordered_map<std::string, std::uint64_t>;
    using Completion = std::function<void()>;

    /// `buildQueue` is the one utility queue that all deltas share, so builds never overlap.
    LiveDelta(const std::filesystem::path& indexPath, std::size_t cap,
              std::shared_ptr<SerialQueue> buildQueue, MainQueue& mainQueue);
    LiveDelta(const LiveDelta&) = delete;
    LiveDelta& operator=(const LiveDelta&) = delete;

    /// Records one batch: each path goes to `changed` when its entry exists (`lstat`, links
    /// not followed), to the tombstones when it is certainly gone (`ENOENT`, `ENOTDIR`), with
    /// the next sequence number; a path that cannot be judged leaves both. Then, past the
    /// cap, only the newest three quarters of the cap stay in `changed`.
    void apply(std::span<const std::string> paths);

    const Entries& changed() const { return changed_; }
    const Entries& tombstones() const { return tombstones_; }
    /// The tombstones' paths: what searches hide.
    std::unordered_set<std::string> removed() const;
    /// The mapped delta index, or null when nothing is changed or no build succeeded.
    const std::shared_ptr<const IndexStore>& store() const { return store_; }
    bool isEmpty() const { return changed_.empty() && tombstones_.empty(); }
    /// The number the next applied path receives; a full scan reads it when it starts.
    std::uint64_t nextSequence() const { return nextSequence_; }
    std::uint64_t rebuildGeneration() const { return rebuildGeneration_; }
    const std::filesystem::path& deltaPath() const { return deltaPath_; }
    std::size_t cap() const { return cap_; }

    /// Drops every entry numbered below `before` from both maps, then rebuilds when asked.
    void clear(std::uint64_t before, bool rebuild);
    /// Forgets everything and deletes the delta file.
    void clear();
    /// Builds on the calling thread.
    void rebuild();
    /// Builds on the build queue; `completion` runs on the main queue once this request's
    /// store is installed, and never when a newer request (or a clear) overtook it. With
    /// nothing changed, the store and file go and `completion` runs before this returns.
    void rebuildInBackground(Completion completion);

    /// The records of a delta over `paths`: sorted, each path that still exists under its
    /// ancestor folders (the root record first, each folder once; a changed folder is the
    /// parent of the changed paths below it), with size and time read from the entry itself.
    /// Empty when no path exists.
    static IndexBuilder records(const Entries& paths);
    /// Writes the delta file at `path` and maps it; null when no path exists or the write
    /// or the map fails (an old file then stays as it was).
    static std::shared_ptr<const IndexStore> build(const Entries& paths,
                                                   const std::filesystem::path& path);

private:
    void dropStore();

    Entries changed_;
    Entries tombstones_;
    std::uint64_t nextSequence_ = 1;
    std::filesystem::path deltaPath_;
    std::shared_ptr<const IndexStore> store_;
    std::size_t cap_;
    std::uint64_t rebuildGeneration_ = 0;
    std::shared_ptr<SerialQueue> buildQueue_;
    MainQueue& mainQueue_;
    // Background results hold this weakly: a delta that is gone installs nothing.
    std::shared_ptr<LiveDelta*> self_;
};

} // namespace ulmaro
