#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ulmaro {

/// Whether this process may read what only specially permitted programs can. Linux has no
/// such permission: the application's probe answers granted, so the ask and its banner
/// never show, while every path that depends on the answer stays in place (and is tested
/// with the file probe or a fake).
namespace FullDiskAccess {

/// Asked afresh each time the answer matters.
using Probe = std::function<bool()>;

/// The file probe: granted when `probePath` opens read-only (the descriptor is closed at
/// once); a missing file or a refusal means not granted.
bool isGranted(const std::string& probePath);

/// A file only permitted programs may open, under the home folder.
std::string defaultProbePath();

/// Where the user grants the permission.
std::string_view systemSettingsURL();

/// The application's probe: granted on Linux.
Probe systemProbe();

} // namespace FullDiskAccess
} // namespace ulmaro
