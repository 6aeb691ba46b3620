#pragma once

#include "UlmaroKit/Scanning/ScanPolicy.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

class IndexStore;

/// What changed below a scanned root since an event ID (wall-clock nanoseconds), told from
/// the index and the file system alone, since Linux keeps no history of changes.
///
/// Every folder the scan entered is looked at with `statx` relative to its parent's
/// descriptor, in parallel; one whose later of mtime and ctime (ctime also moves when a tree
/// is unpacked with old mtimes) is not before the ID less `slack` is listed and compared by
/// name bytes with its children in the index. New and vanished entries are changed paths;
/// a new folder brings every path below it, as far as the policy lets a scan in. A file
/// rewritten in place leaves its folder's times alone and is not found. What the owner
/// drops (`Options::drops`, `Options::dropsInside`) is left out before anything is counted.
struct CatchUpSweep {
    struct Options {
        /// Coarse file-system clocks (FAT keeps 2 s) may date a change before it happened.
        double slackSeconds = 5.0;
        /// More changed paths than this cannot be told (the live delta would not hold them).
        std::size_t cap = 20000;
        /// The wall clock now, in nanoseconds; 0 means the system's.
        std::uint64_t nowNanoseconds = 0;
        /// Paths the owner drops anyway (caches, build products, its own files): neither
        /// listed nor counted against `cap`, since a busy cache would otherwise hide the
        /// few changes that matter.
        std::function<bool(std::string_view path)> drops = {};
        /// Folders whose whole inside the owner drops: never listed or walked into.
        std::function<bool(std::string_view folder)> dropsInside = {};
    };

    /// The changed paths (raw bytes, each folder's in index order, sorted within it), or
    /// none when they cannot be told: the root is not in the index, the ID lies ahead of the
    /// clock (it was set back since), more than `cap` are kept, or `cancel` was set.
    static std::optional<std::vector<std::string>>
    changesSince(const IndexStore& store, const std::string& root, const ScanPolicy& policy,
                 std::uint64_t sinceEventID, const Options& options,
                 const std::atomic<bool>* cancel = nullptr);
};

} // namespace ulmaro
