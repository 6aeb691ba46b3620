#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace ulmaro {

class IndexStore;

/// One catalog handed to the search engine.
struct CatalogSearchInput {
    std::string id;
    std::string name;
    /// The catalog's own index, shared with the library that mapped it.
    std::shared_ptr<const IndexStore> store;
    /// Where the catalogued root is mounted now; empty while the drive is away.
    std::optional<std::string> currentRoot;
    /// The root path under which the records were scanned.
    std::string recordedRoot;
    /// Records with a smaller ID lie outside the catalogued root and are never shown.
    std::optional<std::uint32_t> rootRecordID;
};

} // namespace ulmaro
