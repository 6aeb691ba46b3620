#include "UlmaroKit/Scanning/ScanPolicy.h"

#include "UlmaroKit/Platform/DataLocations.h"
#include "UlmaroKit/Platform/MountTable.h"

#include <algorithm>
#include <dirent.h>
#include <memory>

namespace ulmaro {
namespace {

bool hasSuffix(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

std::string_view withoutTrailingSlashes(std::string_view path) {
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

// Calls fn for each non-empty "/"-separated piece of the path until fn answers true.
template <typename Fn>
bool anyComponent(std::string_view path, Fn fn) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start && fn(path.substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

bool isUnder(std::string_view path, std::string_view folder) {
    return path.size() >= folder.size() && path.substr(0, folder.size()) == folder &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

} // namespace

std::vector<std::string> ScanPolicy::ownFolders() {
    return {DataLocations::dataDirectory().lexically_normal().string(),
            DataLocations::configDirectory().lexically_normal().string()};
}

const ScanPolicy::PathSet& ScanPolicy::defaultExclusions() {
    static const PathSet table{"/System/Volumes/Data", "/System/Volumes/Preboot",
                               "/System/Volumes/VM", "/System/Volumes/Update", "/dev", "/proc",
                               "/.vol", "/private/var/vm",
                               // Kernel and runtime state on Linux.
                               "/sys", "/run"};
    return table;
}

const ScanPolicy::PathSet& ScanPolicy::systemFolders() {
    static const PathSet table{
        "/System", "/Library", "/usr", "/bin", "/sbin", "/opt", "/private", "/cores", "/Network",
        // Linux system folders.
        "/lib", "/lib32", "/lib64", "/libx32", "/etc", "/var", "/boot", "/snap"};
    return table;
}

const ScanPolicy::PathSet& ScanPolicy::backupAndSystemStores() {
    static const PathSet table{"Backups.backupdb", ".MobileBackups",          ".Spotlight-V100",
                               ".fseventsd",       ".DocumentRevisions-V100", ".TemporaryItems",
                               ".Trashes"};
    return table;
}

const std::vector<std::string>& ScanPolicy::privateFolderNames() {
    static const std::vector<std::string> table{"Desktop",  "Documents",    "Downloads",
                                                "Library",  "Movies",       "Music",
                                                "Pictures", "Applications", ".Trash"};
    return table;
}

const std::vector<std::string>& ScanPolicy::tccProtectedRelativePaths() {
    static const std::vector<std::string> table{
        "Desktop",
        "Documents",
        "Downloads",
        "Pictures",
        "Music",
        "Movies",
        ".Trash",
        "Library/Mobile Documents",
        "Library/CloudStorage",
        "Library/Containers",
        "Library/Group Containers",
        "Library/Daemon Containers",
        "Library/Mail",
        "Library/Messages",
        "Library/Safari",
        "Library/Cookies",
        "Library/Suggestions",
        "Library/Application Support/Ulmaro",
        "Library/Application Support/com.apple.TCC",
        "Library/Application Support/AddressBook",
        "Library/Application Support/CallHistoryDB",
        "Library/Application Support/CallHistoryTransactions",
        "Library/Application Support/Knowledge",
        "Library/Biome",
        "Library/HomeKit",
        "Library/Accounts",
        "Library/Calendars",
        "Library/Reminders",
        "Library/PersonalizationPortrait",
        "Library/IdentityServices",
        "Library/Metadata/CoreSpotlight"};
    return table;
}

const ScanPolicy::PathSet& ScanPolicy::otherVolumeFolders() {
    static const PathSet table{"/Volumes", "/media", "/run/media", "/mnt"};
    return table;
}

ScanPolicy ScanPolicy::fullDisk(std::string_view homeDirectory, bool includingSystemFolders) {
    PathSet set = defaultExclusions();
    set.merge(otherUserPrivateFolders(usersDirectory, homeDirectory));
    for (auto& folder : ownFolders())
        set.insert(std::move(folder));
    if (!includingSystemFolders) set.insert(systemFolders().begin(), systemFolders().end());
    return ScanPolicy(std::move(set));
}

ScanPolicy ScanPolicy::excludingTCCProtectedPaths(const std::filesystem::path& homeDirectory) {
    PathSet set = defaultExclusions();
    set.merge(tccProtectedRelativePaths(homeDirectory));
    set.insert(otherVolumeFolders().begin(), otherVolumeFolders().end());
    for (auto& folder : ownFolders())
        set.insert(std::move(folder));
    return ScanPolicy(std::move(set));
}

ScanPolicy ScanPolicy::adding(std::span<const std::string> excludedPaths) const {
    ScanPolicy copy = *this;
    copy.excluded.insert(excludedPaths.begin(), excludedPaths.end());
    return copy;
}

bool ScanPolicy::shouldDescend(std::string_view absolutePath) const {
    return !excluded.contains(absolutePath) && !isNoIndexDirectory(absolutePath) &&
           !isBackupOrSystemStore(absolutePath);
}

bool ScanPolicy::isExcluded(std::string_view absolutePath) const {
    if (isNoIndexDirectory(absolutePath)) return true;
    for (const std::string& e : excluded) {
        if (isUnder(absolutePath, e)) return true;
    }
    return false;
}

ScanPolicy::PathSet
ScanPolicy::tccProtectedRelativePaths(const std::filesystem::path& homeDirectory) {
    std::string home(withoutTrailingSlashes(homeDirectory.native()));
    PathSet set;
    for (const std::string& relative : tccProtectedRelativePaths())
        set.insert(home + "/" + relative);
    return set;
}

ScanPolicy::PathSet ScanPolicy::otherUserPrivateFolders(std::string_view usersDirectoryPath,
                                                        std::string_view homeDirectory,
                                                        const DirectoryContents& contents) {
    const std::string users(usersDirectoryPath);
    std::optional<std::vector<std::string>> names = contents(users);
    if (!names) return {};
    std::string home = std::filesystem::path(homeDirectory).lexically_normal().string();
    if (home.size() > 1) home = std::string(withoutTrailingSlashes(home));
    PathSet set;
    for (const std::string& name : *names) {
        if (name.starts_with('.') || name == "Shared") continue;
        std::string userFolder = users + "/" + name;
        if (userFolder == home) continue;
        for (const std::string& folder : privateFolderNames())
            set.insert(userFolder + "/" + folder);
    }
    return set;
}

std::optional<std::vector<std::string>> ScanPolicy::listDirectory(const std::string& path) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), ::closedir);
    if (!dir) return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    return names;
}

bool ScanPolicy::isInOtherVolumeFolder(std::string_view path, const PathSet& folders) {
    return std::any_of(folders.begin(), folders.end(),
                       [&](const std::string& folder) { return isUnder(path, folder); });
}

bool ScanPolicy::isSystemPath(std::string_view path) {
    for (const std::string& folder : systemFolders()) {
        if (isUnder(path, folder)) return true;
    }
    return false;
}

bool ScanPolicy::isNoIndexName(std::string_view name) {
    return hasSuffix(name, ".noindex");
}

bool ScanPolicy::isNoIndexDirectory(std::string_view path) {
    return anyComponent(path, isNoIndexName);
}

bool ScanPolicy::isBackupOrSystemStoreName(std::string_view name) {
    return backupAndSystemStores().contains(name) || hasSuffix(name, ".backupbundle") ||
           hasSuffix(name, ".sparsebundle") || isTimeMachineSnapshot(name);
}

bool ScanPolicy::isBackupOrSystemStore(std::string_view path) {
    return anyComponent(path, isBackupOrSystemStoreName);
}

bool ScanPolicy::isTimeMachineSnapshot(std::string_view name) {
    constexpr std::string_view ending = ".backup";
    if (!hasSuffix(name, ending)) return false;
    name.remove_suffix(ending.size());
    if (name.size() != 17) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const bool dash = i == 4 || i == 7 || i == 10;
        if (dash ? name[i] != '-' : (name[i] < '0' || name[i] > '9')) return false;
    }
    return true;
}

bool ScanPolicy::isTimeMachineDestination(std::span<const std::string> rootEntries) {
    for (const std::string& name : rootEntries) {
        if (name == "Backups.backupdb" || name == ".MobileBackups" || isTimeMachineSnapshot(name))
            return true;
    }
    return false;
}

bool ScanPolicy::isTimeMachineDestinationAt(const std::string& mountPath,
                                            const DirectoryContents& contents) {
    std::optional<std::vector<std::string>> entries = contents(mountPath);
    return entries && isTimeMachineDestination(*entries);
}

bool ScanPolicy::isAppBundle(std::string_view name) {
    return name.size() >= 5 && hasSuffix(name, ".app");
}

bool ScanPolicy::isUnenterableFileSystem(std::string_view type) {
    static const PathSet types{// pseudo
                               "proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2",
                               "tracefs", "debugfs", "securityfs", "pstore", "bpf", "configfs",
                               "fusectl", "mqueue", "hugetlbfs", "autofs", "binfmt_misc",
                               "efivarfs",
                               // snapshots and layered copies
                               "squashfs", "overlay",
                               // network
                               "nfs", "nfs4", "cifs", "smb3", "fuse.sshfs"};
    return types.contains(type);
}

ScanPolicy::PathSet ScanPolicy::unenterableMountPoints(std::span<const MountEntry> mounts) {
    PathSet points;
    for (const MountEntry& mount : MountTable::topMounts(mounts))
        if (isUnenterableFileSystem(mount.fileSystemType)) points.insert(mount.mountPoint);
    return points;
}

ScanPolicy::PathSet ScanPolicy::unenterableMountPoints(std::string_view mountInfo) {
    return unenterableMountPoints(MountTable::parse(mountInfo));
}

ScanPolicy::PathSet ScanPolicy::unenterableMountPoints() {
    return unenterableMountPoints(MountTable::read());
}

} // namespace ulmaro
