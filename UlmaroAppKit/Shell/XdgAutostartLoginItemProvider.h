#pragma once

#include "UlmaroAppKit/MenuBar/LoginItemProvider.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ulmaro {

/// Start at login the freedesktop way: "ulmaro.desktop" in the user's autostart folder,
/// `${XDG_CONFIG_HOME:-~/.config}/autostart`, located anew at each use. Never needs approval.
class XdgAutostartLoginItemProvider final : public LoginItemProvider {
public:
    using ExecutableLocator = std::function<std::filesystem::path()>;

    /// `executable` answers the program to start; by default the installed one
    /// (`installedExecutable`).
    explicit XdgAutostartLoginItemProvider(ExecutableLocator executable = installedExecutable);

    /// Absent, hidden or switched off → not registered; its program present and
    /// executable → enabled; otherwise (the application moved or was deleted) → not found.
    /// A program named without a "/" (as a desktop's "Startup Applications" writes it) is
    /// looked for on `PATH`, as the session will.
    LoginItemStatus status() const override;
    /// Writes the entry atomically for the current executable; throws when it cannot.
    void registerItem() override;
    /// Removes the entry; one that is already gone is no error.
    void unregisterItem() override;

    static std::filesystem::path entryPath();
    static std::filesystem::path runningExecutable();
    /// The "ulmaro" that `PATH` finds, which is what a login starts; this process's own
    /// program only when none is found (run from a build folder with nothing installed).
    static std::filesystem::path installedExecutable();
    /// The executable regular file a program name starts: an absolute path as it is, a bare
    /// name through `PATH` (unset: "/usr/local/bin:/usr/bin:/bin"); none otherwise.
    static std::optional<std::filesystem::path> resolveProgram(const std::string& program);

    /// The Exec value that starts `program` with no arguments, quoted and escaped by the
    /// Desktop Entry rules (argument quoting, "%%", then the string escapes).
    static std::string execValue(const std::filesystem::path& program);
    /// The program an Exec value starts, undoing those rules; nothing when it is malformed.
    static std::optional<std::string> programOfExecValue(std::string_view value);

private:
    ExecutableLocator executable_;
};

} // namespace ulmaro
