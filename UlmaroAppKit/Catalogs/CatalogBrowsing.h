#pragma once

#include "UlmaroAppKit/Catalogs/CatalogEntry.h"
#include "UlmaroAppKit/Platform/Observable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ulmaro {

/// What the catalog window reads of the browser model and asks of it: the catalog selected,
/// the listing of the folder shown, the trail of folders opened from the catalog's root,
/// the highlighted item, and the moves between folders. The model publishes `selectedID`,
/// `items`, `trail` and `highlighted`; the window redraws on each change and sets
/// `highlighted` itself when the user selects a row. Main thread only.
class CatalogBrowsing {
public:
    struct Item {
        /// Record ID in the catalog's index; the item's identity in the listing.
        std::uint32_t id = 0;
        /// Repaired UTF-8, for display.
        std::string name;
        bool isDirectory = false;
        /// The record's size, for folders too.
        std::uint64_t size = 0;
        /// Seconds since 1970; 0 when not recorded.
        std::uint32_t mtime = 0;
        bool operator==(const Item&) const = default;
    };
    struct InfoLine {
        std::string label;
        std::string value;
        bool operator==(const InfoLine&) const = default;
    };

    virtual ~CatalogBrowsing() = default;

    Observable<std::optional<std::string>> selectedID;
    Observable<std::vector<Item>> items;
    Observable<std::vector<std::uint32_t>> trail;
    Observable<std::optional<std::uint32_t>> highlighted;

    /// The selected catalog's entry; none when nothing is selected.
    virtual const CatalogEntry* selectedEntry() const = 0;
    /// Shows the catalog (none: nothing) at its root, nothing highlighted.
    virtual void select(const std::optional<std::string>& catalogID) = 0;
    /// Shows the catalog's folder that holds `path`, the path's item highlighted.
    virtual void reveal(const std::string& path, const std::string& catalogID) = 0;
    /// After the library's entries changed: deselects a catalog that left, reloads one
    /// whose index or presence changed.
    virtual void libraryChanged() = 0;
    /// The catalog's name, then the name of each folder of the trail.
    virtual std::vector<std::string> breadcrumb() const = 0;
    /// Leaves the last folder of the trail and highlights it in its parent's listing.
    virtual void goUp() = 0;
    /// Keeps the first `depth` folders of the trail; nothing highlighted.
    virtual void goTo(int depth) = 0;
    /// Opens a folder item; nothing for a file.
    virtual void open(const Item& item) = 0;
    /// The item's absolute path as raw bytes (moved to the drive's current mount point),
    /// none when it cannot be given.
    virtual std::optional<std::string> path(const Item& item) const = 0;
};

} // namespace ulmaro
