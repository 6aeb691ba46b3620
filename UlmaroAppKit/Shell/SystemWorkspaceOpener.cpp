#include "UlmaroAppKit/Shell/SystemWorkspaceOpener.h"

#include "UlmaroAppKit/Platform/ChildProcess.h"
#include "UlmaroAppKit/Platform/DesktopApplications.h"
#include "UlmaroKit/Platform/DataLocations.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <cstdio>
#include <cstdlib>

namespace ulmaro {
namespace {

bool isAbsolute(std::string_view path) {
    return !path.empty() && path.front() == '/';
}

// No "." or ".." component, so a prefix test says where the file really is named.
bool isPlainAbsolute(std::string_view path) {
    if (!isAbsolute(path)) return false;
    std::string_view rest = path.substr(1);
    while (true) {
        const auto slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        if (part == "." || part == "..") return false;
        if (slash == std::string_view::npos) return true;
        rest.remove_prefix(slash + 1);
    }
}

std::string_view withoutTrailingSlashes(std::string_view folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.remove_suffix(1);
    return folder;
}

bool isBelow(std::string_view path, std::string_view folder) {
    folder = withoutTrailingSlashes(folder);
    return path.size() > folder.size() + 1 && path.starts_with(folder) &&
           path[folder.size()] == '/';
}

void writeToStandardError(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace

std::vector<std::string> xdgApplicationFolders() {
    std::vector<std::string> folders;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    folders.push_back(
        dataHome != nullptr && isAbsolute(dataHome)
            ? std::string(dataHome) + "/applications"
            : (DataLocations::homeDirectory() / ".local/share/applications").string());
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::string_view dirs =
        dataDirs != nullptr && dataDirs[0] != '\0' ? dataDirs : "/usr/local/share:/usr/share";
    while (!dirs.empty()) {
        const auto colon = dirs.find(':');
        const std::string_view dir = dirs.substr(0, colon);
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
        if (isAbsolute(dir))
            folders.push_back(std::string(withoutTrailingSlashes(dir)) + "/applications");
    }
    return folders;
}

OpenRoad openRoad(std::string_view path, const std::vector<std::string>& applicationFolders) {
    if (!path.ends_with(".desktop") || !isPlainAbsolute(path)) return OpenRoad::xdgOpen;
    for (const auto& folder : applicationFolders)
        if (isPlainAbsolute(folder) && isBelow(path, folder)) return OpenRoad::desktopApplication;
    return OpenRoad::xdgOpen;
}

bool SystemOpenLauncher::launchDesktopApplication(const std::string& desktopFile) {
    return openWithApplication({}, desktopFile);
}

bool SystemOpenLauncher::xdgOpen(const std::string& path) {
    auto program = findProgram("xdg-open");
    return program && spawnDetached(*program, {"xdg-open", path});
}

SystemWorkspaceOpener::SystemWorkspaceOpener(std::shared_ptr<OpenLauncher> launcher, LineWriter log)
    : launcher_(std::move(launcher)),
      log_(log ? std::move(log) : LineWriter(writeToStandardError)) {}

void SystemWorkspaceOpener::open(const std::string& path) {
    // xdg-open takes no "--": a relative path could pass for an option.
    bool handedOn = false;
    if (isAbsolute(path) && path.find('\0') == std::string::npos) {
        handedOn = openRoad(path, xdgApplicationFolders()) == OpenRoad::desktopApplication
                       ? launcher_->launchDesktopApplication(path)
                       : launcher_->xdgOpen(path);
    }
    if (!handedOn) log_("Ulmaro: could not open " + repairUtf8(path) + "\n");
}

} // namespace ulmaro
