#include "UlmaroKit/Platform/DataLocations.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace ulmaro {
namespace {

// The XDG rule: a variable that is unset, empty or relative is ignored.
std::filesystem::path xdgDirectory(const char* variable, const char* fallbackUnderHome) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/') return value;
    return DataLocations::homeDirectory() / fallbackUnderHome;
}

} // namespace

std::filesystem::path DataLocations::homeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return pw->pw_dir;
    return "/";
}

std::filesystem::path DataLocations::dataDirectory() {
    return xdgDirectory("XDG_DATA_HOME", ".local/share") / "Ulmaro";
}

std::filesystem::path DataLocations::configDirectory() {
    return xdgDirectory("XDG_CONFIG_HOME", ".config") / "Ulmaro";
}

std::filesystem::path DataLocations::runtimeDirectory() {
    if (const char* value = std::getenv("XDG_RUNTIME_DIR"); value != nullptr && value[0] == '/')
        return std::filesystem::path(value) / "Ulmaro";
    return std::filesystem::path("/tmp") / ("Ulmaro-" + std::to_string(::getuid()));
}

} // namespace ulmaro
