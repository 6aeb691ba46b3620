#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// `name` as a path to execute: itself when it holds a "/", else the first executable
/// regular file of that name in a PATH folder (empty entries, the current folder, skipped).
std::optional<std::string> findProgram(std::string_view name);

/// Starts `program` (a path) with `arguments` as its whole argument vector, no shell, in a
/// session of its own with default signals. Its standard input is /dev/null, it shares our
/// standard output and error and no other descriptor, and it is reaped off the caller's
/// thread when it ends. `workingDirectory`, when given, is its current folder. True when
/// it was started.
bool spawnDetached(const std::string& program, const std::vector<std::string>& arguments,
                   const std::optional<std::string>& workingDirectory = std::nullopt);

} // namespace ulmaro
