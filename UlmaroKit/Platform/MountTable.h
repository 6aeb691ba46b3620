#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// One line of a mount table in the /proc/<pid>/mountinfo format.
struct MountEntry {
    std::uint32_t mountID = 0;
    std::uint32_t parentID = 0;
    /// The device of the mounted file system (st_dev of files on it).
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    /// The folder of the file system that is mounted: "/", a subtree for a bind mount, or a
    /// btrfs subvolume's path ("/@home").
    std::string root;
    std::string mountPoint;
    std::string fileSystemType;
    /// What was mounted: a device path such as "/dev/sda1", a server share, or a name like "tmpfs".
    std::string source;
    /// The file system's own options ("rw", "subvol=/@home", …), in table order.
    std::vector<std::string> superOptions;

    /// The value of the super option `name` ("subvol" gives "/@home"); absent when there is
    /// no such option.
    std::optional<std::string> superOption(std::string_view name) const;
    /// Whether this mount shows a whole file system rather than a subtree bound elsewhere:
    /// its root is "/", or it is a btrfs subvolume mounted at its own root ("/@", "/@home",
    /// "/root"), which is a volume of its own.
    bool showsWholeFileSystem() const;

    friend bool operator==(const MountEntry&, const MountEntry&) = default;
};

/// The kernel's table of mounts, in the kernel's order.
struct MountTable {
    /// The running process's own view.
    static constexpr const char* systemPath = "/proc/self/mountinfo";

    /// Parses mountinfo text. Malformed lines are skipped; octal escapes ("\040") are decoded.
    static std::vector<MountEntry> parse(std::string_view text);
    /// Reads and parses the table at `path`; an unreadable table is empty.
    static std::vector<MountEntry> read(const std::filesystem::path& path = systemPath);
    /// The mounts that are on top at their mount point, in table order. A file system mounted
    /// over another at the same path (a disk over its x-systemd.automount trigger) hides it.
    static std::vector<MountEntry> topMounts(std::span<const MountEntry> entries);
};

} // namespace ulmaro
