// The index file: any bytes load or are refused with a reason, and a loaded store keeps its
// promises (parents in range, names inside the blob, a path or none for every record).

#include "FuzzSupport.h"
#include "IndexChecksum.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/PathResolver.h"

using namespace ulmaro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = fuzz::withOwnChecksum({data, size});
    const IndexLoadOutcome outcome = loadIndex(fuzz::writeScratchFile("index.bin", bytes));
    if (!outcome.isLoaded()) return 0;

    const IndexStore& store = *outcome.store;
    const std::string_view blob = store.nameBlob();
    const PathResolver resolver(store);
    for (std::uint32_t id = 0; id < store.count(); ++id) {
        const FileRecord& record = store[id];
        fuzz::check(record.parentID == FileRecord::rootParentID || record.parentID < store.count(),
                    "a loaded record's parent is out of range");
        const std::string_view name = store.nameBytes(id);
        fuzz::check(name.data() >= blob.data() &&
                        name.data() + name.size() <= blob.data() + blob.size(),
                    "a loaded record's name lies outside the blob");
        const auto path = resolver.rawAbsolutePath(id);
        fuzz::check(path.has_value() != resolver.containsCycle(id),
                    "containsCycle disagrees with rawAbsolutePath");
        fuzz::check(!path || path->size() < PathResolver::maxPathLength, "a path past PATH_MAX");
        fuzz::check(resolver.absolutePath(id).has_value() == path.has_value(),
                    "the display path and the raw path disagree");
    }
    return 0;
}
