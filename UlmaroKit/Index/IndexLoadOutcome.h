#pragma once

#include "UlmaroKit/Index/RebuildReason.h"

#include <memory>

namespace ulmaro {

class IndexStore;

/// The outcome of `loadIndex`: a loaded store, or the reason the index must be rebuilt.
struct IndexLoadOutcome {
    /// Set when loaded.
    std::shared_ptr<const IndexStore> store;
    /// Meaningful only when not loaded.
    RebuildReason reason;

    bool isLoaded() const { return store != nullptr; }
};

} // namespace ulmaro
