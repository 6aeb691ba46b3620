#include "UlmaroAppKit/Platform/TerminalLauncher.h"

#include "UlmaroAppKit/Platform/ChildProcess.h"

#include <array>
#include <cstdlib>
#include <string_view>
#include <sys/stat.h>

namespace ulmaro {

std::optional<std::string> findTerminal() {
    const char* chosen = std::getenv("TERMINAL");
    const std::array<std::string_view, 6> candidates{
        "x-terminal-emulator", chosen != nullptr ? chosen : "",
        "gnome-terminal",      "konsole",
        "xfce4-terminal",      "xterm"};
    for (auto name : candidates)
        if (auto program = findProgram(name)) return program;
    return std::nullopt;
}

bool launchTerminal(const std::string& folder) {
    struct stat st {};
    if (folder.find('\0') != std::string::npos || ::stat(folder.c_str(), &st) != 0 ||
        !S_ISDIR(st.st_mode))
        return false;
    auto program = findTerminal();
    if (!program) return false;
    return spawnDetached(*program, {*program}, folder);
}

} // namespace ulmaro
