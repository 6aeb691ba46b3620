#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace ulmaro {

/// Whether the volume that will hold a new index (or catalog) has room for it, checked
/// before a scan; when it has not, the sentence shown instead of scanning. An unknown
/// free space never blocks a scan.
namespace ResourceGuard {

struct Verdict {
    bool canScan = true;
    /// Why not; none when `canScan`.
    std::optional<std::string> explanation;

    friend bool operator==(const Verdict&, const Verdict&) = default;
};

/// 500 MiB kept free besides twice the present index.
inline constexpr std::int64_t reserveBytes = 500LL * 1024 * 1024;

/// The space an unprivileged process may still use (`statvfs` f_bavail × f_frsize) on the
/// file system of the folder that holds `indexPath` (of its nearest existing ancestor while
/// that folder does not exist yet); none when it cannot be read.
std::optional<std::int64_t> freeBytes(const std::filesystem::path& indexPath);

/// Needs `reserveBytes` + 2 × `currentIndexBytes` (a negative size counts as 0). The sum
/// saturates: a size too large to add up is refused, never let through by overflow.
Verdict evaluate(std::optional<std::int64_t> freeBytes, std::int64_t currentIndexBytes);

/// `evaluate` over `freeBytes(indexPath)`.
Verdict evaluate(const std::filesystem::path& indexPath, std::int64_t currentIndexBytes);

} // namespace ResourceGuard
} // namespace ulmaro
