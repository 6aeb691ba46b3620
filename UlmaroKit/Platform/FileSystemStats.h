#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ulmaro {

/// Sizes of a mounted file system, as statvfs gives them.
struct FileSystemStats {
    std::uint64_t totalBytes = 0;
    std::uint64_t totalNodes = 0;
    std::uint64_t freeNodes = 0;
    /// What an unprivileged user may still write (f_bavail × f_frsize).
    std::uint64_t availableBytes = 0;

    /// statvfs of a path on the file system; absent when the call fails.
    static std::optional<FileSystemStats> of(const std::string& path);

    friend bool operator==(const FileSystemStats&, const FileSystemStats&) = default;
};

} // namespace ulmaro
