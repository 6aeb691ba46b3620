#pragma once

#include "UlmaroKit/Catalogs/CatalogInfo.h"
#include "UlmaroKit/Index/IndexStore.h"

#include <memory>
#include <optional>
#include <string>

namespace ulmaro {

/// One catalog as the library holds it: its description, its mapped index, where its root
/// is right now, and whether it can be used.
struct CatalogEntry {
    struct Health {
        enum class Kind { ok, damaged, folderMissing };
        Kind kind = Kind::ok;
        /// The sentence shown to the user; set only when damaged.
        std::string reason;

        static Health ok() { return {}; }
        static Health damaged(std::string reason) { return {Kind::damaged, std::move(reason)}; }
        static Health folderMissing() { return {Kind::folderMissing, {}}; }
        bool isDamaged() const { return kind == Kind::damaged; }
        friend bool operator==(const Health&, const Health&) = default;
    };

    CatalogInfo info;
    /// Absent when the catalog is damaged. Shared with the search engine, never copied.
    std::shared_ptr<const IndexStore> store;
    /// Where the root is now; absent for file lists, unmounted drives and missing folders.
    std::optional<std::string> currentRoot;
    Health health;

    const std::string& id() const { return info.id; }
    bool isOnline() const { return currentRoot.has_value(); }
};

} // namespace ulmaro
