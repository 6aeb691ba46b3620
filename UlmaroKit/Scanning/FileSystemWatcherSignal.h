#pragma once

#include <string>
#include <vector>

namespace ulmaro {

/// What a `FileSystemWatcher` tells its owner. Compared by case and, for `changedPaths`,
/// by the paths in order.
class FileSystemWatcherSignal {
public:
    enum class Kind {
        /// Paths reported changed in one batch, in the order they were reported.
        changedPaths,
        /// Changes were lost; the owner cannot know what changed and rescans everything.
        mustFullRescan,
        /// The replay of changes since the start event ID has reached the present.
        historyDone,
    };

    static FileSystemWatcherSignal changedPaths(std::vector<std::string> paths) {
        return FileSystemWatcherSignal(Kind::changedPaths, std::move(paths));
    }
    static FileSystemWatcherSignal mustFullRescan() {
        return FileSystemWatcherSignal(Kind::mustFullRescan, {});
    }
    static FileSystemWatcherSignal historyDone() {
        return FileSystemWatcherSignal(Kind::historyDone, {});
    }

    Kind kind() const { return kind_; }
    /// The changed paths, as raw bytes (file names need not be UTF-8); empty for other cases.
    const std::vector<std::string>& paths() const { return paths_; }

    friend bool operator==(const FileSystemWatcherSignal&,
                           const FileSystemWatcherSignal&) = default;

private:
    FileSystemWatcherSignal(Kind kind, std::vector<std::string> paths)
        : kind_(kind), paths_(std::move(paths)) {}

    Kind kind_;
    std::vector<std::string> paths_;
};

} // namespace ulmaro
