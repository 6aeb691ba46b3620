#pragma once

#include <optional>
#include <string>

namespace ulmaro {

/// Where a result row came from: a catalog, or this computer (its index, the live delta,
/// the application directory or the content index).
struct RowOrigin {
    struct Catalog {
        std::string id;
        std::string name;
        /// The catalog's root is mounted now and the row's path lies under it.
        bool isOnline = false;

        friend bool operator==(const Catalog&, const Catalog&) = default;
    };

    /// Empty for this computer.
    std::optional<Catalog> catalog;

    static RowOrigin mac() { return {}; }
    static RowOrigin fromCatalog(std::string id, std::string name, bool isOnline) {
        return {Catalog{std::move(id), std::move(name), isOnline}};
    }
    bool isMac() const { return !catalog; }

    friend bool operator==(const RowOrigin&, const RowOrigin&) = default;
};

} // namespace ulmaro
