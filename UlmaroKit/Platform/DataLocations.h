#pragma once

#include <filesystem>

namespace ulmaro {

/// Where both programs keep their files. Every location follows the XDG base
/// directories, so tests and users relocate them with XDG_DATA_HOME and friends.
struct DataLocations {
    /// $HOME, else the password database's home folder.
    static std::filesystem::path homeDirectory();
    /// ${XDG_DATA_HOME:-~/.local/share}/Ulmaro
    static std::filesystem::path dataDirectory();
    /// ${XDG_CONFIG_HOME:-~/.config}/Ulmaro
    static std::filesystem::path configDirectory();
    /// ${XDG_RUNTIME_DIR}/Ulmaro, else a per-user folder under /tmp.
    static std::filesystem::path runtimeDirectory();

    /// "index.bin" in the data folder.
    static std::filesystem::path indexPath() { return dataDirectory() / "index.bin"; }
    /// "content.bin" in the data folder.
    static std::filesystem::path contentIndexPath() { return dataDirectory() / "content.bin"; }
    /// "Catalogs" in the data folder.
    static std::filesystem::path catalogsDirectory() { return dataDirectory() / "Catalogs"; }
};

} // namespace ulmaro
