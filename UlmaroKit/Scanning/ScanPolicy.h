#pragma once

#include "UlmaroKit/Platform/MountTable.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// Which paths a scan leaves out. A policy is one set of excluded absolute paths; the name
/// rules (".noindex" folders, backup and system stores, snapshot folders) hold for every
/// policy. The scanner still records a refused folder; it only does not enter it.
///
/// Paths and names are compared as bytes, exactly and case-sensitively.
class ScanPolicy {
public:
    using PathSet = std::set<std::string, std::less<>>;
    /// Lists a folder's entry names, or nothing when the folder cannot be listed.
    using DirectoryContents =
        std::function<std::optional<std::vector<std::string>>(const std::string& path)>;

    /// Absolute paths, none with a trailing "/".
    PathSet excluded;

    explicit ScanPolicy(PathSet excludedAbsolutePaths)
        : excluded(std::move(excludedAbsolutePaths)) {}

    // Fixed tables.
    /// Where every policy starts, "/sys" and "/run" included.
    static const PathSet& defaultExclusions();
    static const PathSet& systemFolders();
    static const PathSet& backupAndSystemStores();
    /// The folders of another user's home that a full-disk policy leaves out.
    static const std::vector<std::string>& privateFolderNames();
    /// The privacy-protected places under a home folder, relative to it, in order.
    static const std::vector<std::string>& tccProtectedRelativePaths();
    /// Where user homes live.
    static constexpr std::string_view usersDirectory = "/home";
    /// Mount folders of other volumes, left out where other volumes are not scanned.
    static const PathSet& otherVolumeFolders();
    /// At or below one of `folders` (by default `otherVolumeFolders`): a volume mounted
    /// anywhere else lies inside what a scan of "/" covers.
    static bool isInOtherVolumeFolder(std::string_view path,
                                      const PathSet& folders = otherVolumeFolders());

    /// Our data and config folders, as the environment names them now. What we write there
    /// is never a user's change and must never look like one: a settings write seen as a
    /// change would rebuild the live index, whose update writes settings again.
    static std::vector<std::string> ownFolders();
    /// Default exclusions, other users' private folders, our own data and config folders,
    /// and the system folders unless `includingSystemFolders`.
    static ScanPolicy fullDisk(std::string_view homeDirectory, bool includingSystemFolders);
    /// Default exclusions, the privacy-protected places of `homeDirectory`, the folders
    /// where other volumes are mounted, and our own data and config folders.
    static ScanPolicy excludingTCCProtectedPaths(const std::filesystem::path& homeDirectory);

    /// A copy that also excludes `excludedPaths`.
    ScanPolicy adding(std::span<const std::string> excludedPaths) const;

    /// Whether a scan may enter the folder: not excluded (exact membership, not a
    /// prefix test), not a ".noindex" folder, not a backup or system store.
    bool shouldDescend(std::string_view absolutePath) const;
    /// Whether the path is excluded or lies under an excluded path or a ".noindex" folder.
    bool isExcluded(std::string_view absolutePath) const;

    /// `tccProtectedRelativePaths()` under `homeDirectory`, as absolute paths.
    static PathSet tccProtectedRelativePaths(const std::filesystem::path& homeDirectory);
    /// The private folders of every user folder in `usersDirectory` but the given home.
    static PathSet otherUserPrivateFolders(std::string_view usersDirectoryPath,
                                           std::string_view homeDirectory,
                                           const DirectoryContents& contents = listDirectory);
    /// The entry names of a folder, or nothing on any error.
    static std::optional<std::vector<std::string>> listDirectory(const std::string& path);

    static bool isSystemPath(std::string_view path);
    /// Whether any component of the path ends in ".noindex".
    static bool isNoIndexDirectory(std::string_view path);
    /// Whether any component of the path is a backup or system store.
    static bool isBackupOrSystemStore(std::string_view path);
    static bool isTimeMachineSnapshot(std::string_view name);
    static bool isTimeMachineDestination(std::span<const std::string> rootEntries);
    /// Lists the top of the volume mounted at `mountPath`; false when that fails.
    static bool isTimeMachineDestinationAt(const std::string& mountPath,
                                           const DirectoryContents& contents = listDirectory);
    /// A name of at least five bytes ending in ".app" (bytes, so ".APP" does not count).
    static bool isAppBundle(std::string_view name);

    // The name rules for one path component; a path fails them when any component does.
    static bool isNoIndexName(std::string_view name);
    static bool isBackupOrSystemStoreName(std::string_view name);

    // File systems that are recorded but never entered: their contents are not files
    // (proc, sysfs, …), sit behind a network, or repeat another tree (snapshots, overlays).
    static bool isUnenterableFileSystem(std::string_view type);
    /// Mount points of such file systems among the mounts, or in a mountinfo text. Only the
    /// top mount at a path decides.
    static PathSet unenterableMountPoints(std::span<const MountEntry> mounts);
    static PathSet unenterableMountPoints(std::string_view mountInfo);
    /// The same for the live mount table; empty when it cannot be read.
    static PathSet unenterableMountPoints();

    friend bool operator==(const ScanPolicy&, const ScanPolicy&) = default;
};

} // namespace ulmaro
