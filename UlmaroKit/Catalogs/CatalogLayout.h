#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// Where the catalogs live: one folder per catalog, named by its ID, under one root.
/// Only composes paths and lists what is there; creates, moves and deletes nothing.
///
/// An ID is a folder name and nothing else. Every operation that turns an ID into a path
/// refuses (std::invalid_argument) an empty ID, "." and "..", and an ID holding "/" or NUL,
/// so that an ID read from a file can never reach outside the root.
class CatalogLayout {
public:
    explicit CatalogLayout(std::filesystem::path root) : root_(std::move(root)) {}

    const std::filesystem::path& root() const { return root_; }

    /// "Catalogs" in the data folder.
    static std::filesystem::path defaultRoot();

    /// The catalogs that belong to an index file: `defaultRoot()` for the default index
    /// (`DataLocations::indexPath()`, compared as written, nothing resolved), otherwise
    /// the index's path followed by ".catalogs" ("/tmp/x/index.bin.catalogs").
    static CatalogLayout forIndex(const std::filesystem::path& indexPath);

    /// Whether `id` may name a catalog folder.
    static bool isValidID(std::string_view id);

    std::filesystem::path directory(std::string_view id) const;
    std::filesystem::path indexURL(std::string_view id) const {
        return directory(id) / "index.bin";
    }
    std::filesystem::path infoURL(std::string_view id) const { return directory(id) / "info.json"; }
    std::filesystem::path trigramURL(std::string_view id) const {
        return directory(id) / "trigram.cache";
    }
    /// Present while a scan of the catalog is under way.
    std::filesystem::path markerURL(std::string_view id) const {
        return directory(id) / "index.bin.inprogress";
    }

    /// The IDs of the folders under the root that hold an "info.json" (of any kind), sorted
    /// bytewise. A root that cannot be listed gives none.
    std::vector<std::string> catalogIDs() const;

    friend bool operator==(const CatalogLayout&, const CatalogLayout&) = default;

private:
    std::filesystem::path root_;
};

} // namespace ulmaro
