#include "UlmaroAppKit/Indexing/EmptyIndex.h"

#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"

namespace ulmaro::EmptyIndex {

std::filesystem::path path(const std::filesystem::path& indexPath) {
    std::filesystem::path out = indexPath;
    out += ".empty";
    return out;
}

std::shared_ptr<const IndexStore> store(const std::filesystem::path& path) {
    if (auto loaded = loadIndex(path); loaded.isLoaded() && loaded.store->count() == 0)
        return loaded.store;
    try {
        IndexWriter::write(IndexBuilder(), {}, path);
    } catch (const std::exception&) {
        // An index left standing is only used below when it is empty.
    }
    auto loaded = loadIndex(path);
    // An index with records would be searched as if this computer were on.
    if (!loaded.isLoaded() || loaded.store->count() != 0) return nullptr;
    return loaded.store;
}

} // namespace ulmaro::EmptyIndex
