#pragma once

#include "UlmaroAppKit/Catalogs/CatalogBrowsing.h"
#include "UlmaroAppKit/Catalogs/CatalogLibrary.h"
#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroKit/Catalogs/ChildrenIndex.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// The catalog window's model: one catalog of the library, walked folder by folder from its
/// own index whether its drive is there or not, with the facts of its info panel. Only
/// reads catalogs. Main thread only. The listing is folders first, then names in natural
/// order, ties in record order; `highlighted` is the folder just left or a reveal's target.
///
/// Names are bytes: reveals compare and cut paths as bytes and `path` is built from the raw
/// bytes, so that it opens; the texts shown (item names, breadcrumb, info) are repaired
/// UTF-8.
class CatalogBrowserModel final : public CatalogBrowsing {
public:
    explicit CatalogBrowserModel(CatalogLibrary& library);

    /// The library's entry for the selection; none when nothing or a forgotten catalog is
    /// selected.
    const CatalogEntry* selectedEntry() const override;

    /// Shows the catalog's root listing; none shows nothing.
    void select(const std::optional<std::string>& catalogID) override;
    /// Opens a folder; a file changes nothing.
    void open(const Item& item) override;
    /// Back to the parent, the folder just left highlighted; nothing at the root.
    void goUp() override;
    /// Keeps the first `depth` folders of the trail: 0 or less is the root.
    void goTo(int depth) override;
    /// The catalog's name, then the trail's folder names; only the name when its index is
    /// not loaded; empty with nothing selected.
    std::vector<std::string> breadcrumb() const override;
    /// Selects the catalog and opens the folders down to `path` (where the drive is now, or
    /// where it was recorded), highlighting its item when every component was found.
    void reveal(const std::string& path, const std::string& catalogID) override;
    /// After each change of the library's entries.
    void libraryChanged() override;
    /// The item's path as it can be reached now (the recorded root moved to where the
    /// drive is mounted), raw bytes; none outside the recorded root or through "." or "..".
    std::optional<std::string> path(const Item& item) const override;

    static std::string status(const CatalogEntry& entry);
    static std::vector<InfoLine> infoLines(const CatalogEntry& entry);
    /// Byte counts above the largest signed 64-bit value show as that value.
    static std::string sizeText(std::uint64_t bytes);
    /// Empty for 0, else the medium date and short time of the user's locale.
    static std::string dateText(std::uint32_t seconds);

    /// `items` of `children` of a store, sorted; for measuring the sort alone.
    static std::vector<Item> sortedItems(const IndexStore& store,
                                         std::span<const std::uint32_t> children);

private:
    void rebuildChildren();
    void reloadItems();
    /// The children of a folder, or the records without a parent for none.
    std::span<const std::uint32_t> childrenOf(std::optional<std::uint32_t> folder) const;

    CatalogLibrary& library_;
    /// Built once per store object, from that very store.
    std::shared_ptr<const ChildrenIndex> children_;
    std::shared_ptr<const IndexStore> childrenStore_;
    bool shownOnline_ = false;
};

} // namespace ulmaro
