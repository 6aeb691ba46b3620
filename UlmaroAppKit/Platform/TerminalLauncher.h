#pragma once

#include <optional>
#include <string>

namespace ulmaro {

/// The terminal program to start: the first of "x-terminal-emulator", `$TERMINAL`,
/// "gnome-terminal", "konsole", "xfce4-terminal" and "xterm" found on PATH (`$TERMINAL`
/// may also be a path), as a path to execute.
std::optional<std::string> findTerminal();

/// Starts the terminal with `folder` (raw bytes) as its working directory: no argument and
/// no shell, so no name can be taken for an option or a command. Its standard input is
/// /dev/null and it inherits no other descriptor of ours. The child is reaped when it
/// ends. True when it was started; false for a folder that is not there or no terminal.
bool launchTerminal(const std::string& folder);

} // namespace ulmaro
