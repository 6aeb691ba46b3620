#include "UlmaroKit/Platform/FileSystemStats.h"

#include <sys/statvfs.h>

namespace ulmaro {

std::optional<FileSystemStats> FileSystemStats::of(const std::string& path) {
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) return std::nullopt;
    FileSystemStats stats;
    stats.totalBytes = static_cast<std::uint64_t>(info.f_blocks) * info.f_frsize;
    stats.availableBytes = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
    stats.totalNodes = info.f_files;
    stats.freeNodes = info.f_ffree;
    return stats;
}

} // namespace ulmaro
