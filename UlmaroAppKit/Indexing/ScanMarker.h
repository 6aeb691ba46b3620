#pragma once

#include <filesystem>

namespace ulmaro {

/// The empty file "<index>.inprogress" that stands beside the index while a scan writes it:
/// left behind by a crash or a failed write, it makes the next start rescan.
namespace ScanMarker {
std::filesystem::path path(const std::filesystem::path& indexPath);
/// Creates the index's folder and the marker; failures are ignored.
void create(const std::filesystem::path& indexPath);
/// Failures (no marker, say) are ignored.
void remove(const std::filesystem::path& indexPath);
} // namespace ScanMarker

} // namespace ulmaro
