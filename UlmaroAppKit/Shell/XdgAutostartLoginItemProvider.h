#pragma once

#include "UlmaroAppKit/Shell/LoginItemProvider.h"

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

    /// `executable` answers the program to start; by default this process's own
    /// (`/proc/self/exe`).
    explicit XdgAutostartLoginItemProvider(ExecutableLocator executable = runningExecutable);

    /// Absent, hidden or switched off → not registered; its program present and
    /// executable → enabled; otherwise (the application moved or was deleted) → not found.
    LoginItemStatus status() const override;
    /// Writes the entry atomically for the current executable; throws when it cannot.
    void registerItem() override;
    /// Removes the entry; one that is already gone is no error.
    void unregisterItem() override;

    static std::filesystem::path entryPath();
    static std::filesystem::path runningExecutable();

    /// The Exec value that starts `program` with no arguments, quoted and escaped by the
    /// Desktop Entry rules (argument quoting, "%%", then the string escapes).
    static std::string execValue(const std::filesystem::path& program);
    /// The program an Exec value starts, undoing those rules; nothing when it is malformed.
    static std::optional<std::string> programOfExecValue(std::string_view value);

private:
    ExecutableLocator executable_;
};

} // namespace ulmaro
