#include "UlmaroAppKit/Indexing/FullDiskAccess.h"

#include "UlmaroKit/Platform/DataLocations.h"

#include <fcntl.h>
#include <unistd.h>

namespace ulmaro::FullDiskAccess {

bool isGranted(const std::string& probePath) {
    const int fd = ::open(probePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

std::string defaultProbePath() {
    return (DataLocations::homeDirectory() / "Library/Application Support/com.apple.TCC/TCC.db")
        .string();
}

std::string_view systemSettingsURL() {
    return "x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles";
}

Probe systemProbe() {
    // No permission to hold on Linux: what the user may read, the application may.
    return [] { return true; };
}

} // namespace ulmaro::FullDiskAccess
