#include "UlmaroAppKit/Indexing/ResourceGuard.h"

#include "UlmaroAppKit/Text/TextFormat.h"

#include <cerrno>
#include <limits>
#include <sys/statvfs.h>

namespace ulmaro::ResourceGuard {
namespace {

constexpr auto int64Max = std::numeric_limits<std::int64_t>::max();

std::string amount(std::int64_t bytes) {
    return formatByteCount(static_cast<std::uint64_t>(std::max<std::int64_t>(bytes, 0)),
                           ByteUnits::megabytes | ByteUnits::gigabytes);
}

} // namespace

std::optional<std::int64_t> freeBytes(const std::filesystem::path& indexPath) {
    auto folder = indexPath.parent_path();
    if (folder.empty()) folder = ".";
    // On a fresh account the index's folder does not exist yet; the one that will hold it
    // lies on the volume of its nearest existing ancestor. ("Unknown" never blocks a scan,
    // so asking the missing folder would let a full disk through.)
    struct statvfs stats;
    while (::statvfs(folder.c_str(), &stats) != 0) {
        if (errno != ENOENT || !folder.has_relative_path()) return std::nullopt;
        folder = folder.parent_path();
    }
    std::uint64_t bytes;
    if (__builtin_mul_overflow(static_cast<std::uint64_t>(stats.f_bavail),
                               static_cast<std::uint64_t>(stats.f_frsize), &bytes) ||
        bytes > static_cast<std::uint64_t>(int64Max))
        return int64Max;
    return static_cast<std::int64_t>(bytes);
}

Verdict evaluate(std::optional<std::int64_t> freeBytes, std::int64_t currentIndexBytes) {
    if (!freeBytes) return {};
    std::int64_t twice, needed;
    bool overflow =
        __builtin_mul_overflow(std::max<std::int64_t>(currentIndexBytes, 0), 2, &twice) ||
        __builtin_add_overflow(reserveBytes, twice, &needed);
    if (overflow) needed = int64Max;
    if (!overflow && needed <= *freeBytes) return {};
    return {false, "Not enough free disk space to rebuild the index. " + amount(needed) +
                       " needed, " + amount(*freeBytes) +
                       " free. Search still works on the index you have."};
}

Verdict evaluate(const std::filesystem::path& indexPath, std::int64_t currentIndexBytes) {
    return evaluate(freeBytes(indexPath), currentIndexBytes);
}

} // namespace ulmaro::ResourceGuard
