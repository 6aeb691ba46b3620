#pragma once

#include "UlmaroAppKit/Catalogs/CatalogEntry.h"
#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroKit/Catalogs/CatalogLayout.h"
#include "UlmaroKit/Scanning/MountedVolume.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ulmaro {

/// Every catalog on disk, loaded with its health, sorted by name, and published. Each
/// replacement of the list bumps `generation` by one and then calls `onChange`, so the
/// search side knows when to rebuild over the catalogs. Main thread only.
///
/// A catalog's ID is its folder's name, whatever its "info.json" claims: a copied or
/// crafted file can never make the library act on another catalog's folder.
class CatalogLibrary {
public:
    using Exists = std::function<bool(const std::string& path)>;
    using Trash = std::function<bool(const std::filesystem::path& folder)>;

    explicit CatalogLibrary(CatalogLayout layout, Exists exists = fileExists,
                            Trash trash = moveToTrash);

    const std::vector<CatalogEntry>& entries() const { return entries_.get(); }
    /// Runs after each replacement of the list, before `onChange`.
    [[nodiscard]] Subscription
    observeEntries(std::function<void(const std::vector<CatalogEntry>&)> f) {
        return entries_.subscribe(std::move(f));
    }
    std::vector<CatalogInfo> infos() const;
    const CatalogEntry* entry(const std::string& id) const;
    std::int64_t generation() const { return generation_; }
    const CatalogLayout& layout() const { return layout_; }
    const std::vector<MountedVolume>& mounted() const { return mounted_; }

    std::function<void()> onChange;

    /// Reads every catalog folder afresh.
    void reloadAll();
    /// Reads one catalog folder afresh; it takes the place of any entry with that ID.
    void reload(const std::string& id);
    /// Recomputes where each root is and whether it is missing, reading no catalog file:
    /// a damaged catalog stays damaged until it is reloaded.
    void updateMounted(std::vector<MountedVolume> volumes);
    /// Moves the catalog's folder to the Trash and drops its entry; false (and nothing
    /// changed) when the folder could not be moved.
    bool forget(const std::string& id);

    /// True when the item has left its folder: moved to the Trash, or already gone.
    static bool moveToTrash(const std::filesystem::path& folder);
    static bool fileExists(const std::string& path);

private:
    CatalogEntry load(const std::string& id) const;
    CatalogEntry place(CatalogInfo info, std::shared_ptr<const IndexStore> store,
                       CatalogEntry::Health health) const;
    void publish(std::vector<CatalogEntry> entries);

    CatalogLayout layout_;
    Exists exists_;
    Trash trash_;
    Observable<std::vector<CatalogEntry>> entries_;
    std::int64_t generation_ = 0;
    std::vector<MountedVolume> mounted_;
};

} // namespace ulmaro
