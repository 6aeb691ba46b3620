#pragma once

#include <string_view>

namespace ulmaro {

/// What a directory entry is, as far as the application rule cares.
enum class EntryKind { directory, regularFile, symbolicLink, other };

/// Whether an entry is an application (the `isApp` flag). Everything that asks that
/// question asks here:
/// - any entry named "<something>.app" (bytes, so ".APP" does not count);
/// - a regular file named "<something>.desktop" directly inside a folder named
///   "applications" (the freedesktop.org launchers);
/// - a regular file named "<something>.AppImage".
bool isApplication(std::string_view name, EntryKind kind, std::string_view parentFolderName);

/// An application's name as people say it: the name without the ending that made it one
/// (".app", ".desktop" or ".AppImage"); other names come back whole.
std::string_view appDisplayName(std::string_view name);

} // namespace ulmaro
