#pragma once

#include <filesystem>

namespace ulmaro {

/// Moves a file or folder to the freedesktop.org Trash (the home trash on the home file
/// system, `$topdir/.Trash-$uid` on others), through GIO. Never deletes and never copies
/// across file systems instead: when the item cannot be moved it stays where it is.
/// Paths are raw bytes. True only when the item was moved.
bool moveToTrash(const std::filesystem::path& path);

} // namespace ulmaro
