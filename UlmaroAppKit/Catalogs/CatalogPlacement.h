#pragma once

#include "UlmaroKit/Catalogs/CatalogInfo.h"
#include "UlmaroKit/Scanning/MountedVolume.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ulmaro {

/// Where a catalog's root is now, on which volume a chosen folder lies, and whether a new
/// root overlaps the catalogs already kept. Pure rules; paths are compared as bytes.
struct CatalogPlacement {
    using Exists = std::function<bool(const std::string& path)>;

    /// An existing catalog that already covers a proposed root.
    struct Conflict {
        std::string name;
        friend bool operator==(const Conflict&, const Conflict&) = default;
    };
    struct Location {
        MountedVolume volume;
        std::string relative;
    };
    struct Check {
        std::optional<Conflict> conflict;
        /// The existing catalogs the proposed root covers, in the order given.
        std::vector<std::string> absorbs;
    };

    /// The root's path when its volume (the first mounted with its UUID) is there and the
    /// path exists; never for an imported file list.
    static std::optional<std::string> currentRoot(const CatalogInfo& info,
                                                  std::span<const MountedVolume> mounted,
                                                  const Exists& exists);
    /// The volume with the longest mount path holding `path`, and the path below it.
    static std::optional<Location> locate(std::string path, std::span<const MountedVolume> volumes);
    static Check check(const std::string& volumeUUID, const std::string& relative,
                       std::span<const CatalogInfo> infos);
};

} // namespace ulmaro
