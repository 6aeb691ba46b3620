#pragma once

#include "UlmaroAppKit/Indexing/WatchCheckpoint.h"

#include <filesystem>
#include <optional>
#include <string>

namespace ulmaro {

/// "watch-checkpoint.json" beside the index: one JSON object with the members "eventID"
/// (an unsigned 64-bit integer) and "deviceUUID" (a string). Nothing here reports an
/// error: a missing or damaged file means watching starts from now, a failed save leaves
/// the previous file as it was.
namespace WatchCheckpointStore {

/// The index's path with its last component replaced by "watch-checkpoint.json".
std::filesystem::path defaultURL(const std::filesystem::path& indexPath);

/// The checkpoint in the file, when it is a small regular file holding an object with
/// both members of the right types (other members are ignored).
std::optional<WatchCheckpoint> load(const std::filesystem::path& path);

/// Writes the checkpoint compactly, replacing the file atomically and creating its folder
/// when needed. A device UUID that is not UTF-8 cannot be JSON: nothing is written.
void save(const WatchCheckpoint& checkpoint, const std::filesystem::path& path);

/// The event ID to resume from: the checkpoint's, when it was taken on the device that now
/// holds the watched root (exact string equality); otherwise none.
std::optional<std::uint64_t> resumeEventID(const std::optional<WatchCheckpoint>& checkpoint,
                                           const std::optional<std::string>& currentDeviceUUID);

} // namespace WatchCheckpointStore
} // namespace ulmaro
