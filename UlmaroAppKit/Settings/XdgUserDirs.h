#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ulmaro {

/// The user's well-known folders as `user-dirs.dirs` in the XDG config folder names them
/// (`XDG_DOCUMENTS_DIR="$HOME/Documents"`).
struct XdgUserDirs {
    /// The folder that `text` names for `name` ("DOCUMENTS", "DESKTOP", "DOWNLOAD"): a
    /// "$HOME/…" or absolute value, backslash escapes undone, the last line winning. A value
    /// of the home folder itself means "not set up" and names nothing, as does any other form.
    static std::optional<std::string> find(std::string_view text, std::string_view name,
                                           std::string_view home);
    /// The same over `${XDG_CONFIG_HOME:-~/.config}/user-dirs.dirs` and the home folder.
    static std::optional<std::string> find(std::string_view name);
};

} // namespace ulmaro
