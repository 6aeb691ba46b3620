#pragma once

#include "UlmaroAppKit/Shell/WorkspaceOpener.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// How a path is opened.
enum class OpenRoad {
    /// An installed application's ".desktop" file, launched through GIO.
    desktopApplication,
    /// Everything else, handed to xdg-open, which applies the desktop's rules.
    xdgOpen,
};

/// The XDG application folders: `$XDG_DATA_HOME/applications` (else
/// ~/.local/share/applications) and each absolute `$XDG_DATA_DIRS` entry (else
/// /usr/local/share and /usr/share) + "/applications".
std::vector<std::string> xdgApplicationFolders();

/// Only a ".desktop" file below one of `applicationFolders` is launched as an
/// application: a file's name alone never makes us run its Exec line. A path with "." or
/// ".." components never counts as inside.
OpenRoad openRoad(std::string_view path, const std::vector<std::string>& applicationFolders);

/// What actually starts programs; tests record instead.
class OpenLauncher {
public:
    virtual ~OpenLauncher() = default;
    /// Launches the application of a ".desktop" file with no documents. True when started.
    virtual bool launchDesktopApplication(const std::string& desktopFile) = 0;
    /// Starts xdg-open for `path`. True when started.
    virtual bool xdgOpen(const std::string& path) = 0;
};

/// The launcher of this computer: GIO's `GDesktopAppInfo`, and xdg-open spawned with an
/// argument vector.
class SystemOpenLauncher final : public OpenLauncher {
public:
    bool launchDesktopApplication(const std::string& desktopFile) override;
    bool xdgOpen(const std::string& path) override;
};

/// The opener of this computer. A path that could not be handed on writes
/// "Ulmaro: could not open " + path (repaired for display) to `log`, by default standard
/// error.
class SystemWorkspaceOpener final : public WorkspaceOpener {
public:
    using LineWriter = std::function<void(const std::string& line)>;

    explicit SystemWorkspaceOpener(
        std::shared_ptr<OpenLauncher> launcher = std::make_shared<SystemOpenLauncher>(),
        LineWriter log = {});

    void open(const std::string& path) override;

private:
    std::shared_ptr<OpenLauncher> launcher_;
    LineWriter log_;
};

} // namespace ulmaro
