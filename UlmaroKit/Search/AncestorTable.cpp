#include "UlmaroKit/Search/AncestorTable.h"

#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Platform/WorkerPool.h"

#include <array>
#include <atomic>

namespace ulmaro {

AncestorTable AncestorTable::build(const IndexStore& store, DemotesBelow demotesBelow,
                                   WorkerPool& pool) {
    AncestorTable table;
    const std::size_t count = store.count();
    table.words_.assign(count, 0);
    std::vector<std::uint32_t>& words = table.words_;
    // Chunks fill in parallel. A walk reads what other chunks wrote so far and may compute
    // an ancestor again; every writer stores the same value, so the races are harmless.
    auto load = [&](std::uint32_t id) {
        return std::atomic_ref<std::uint32_t>(words[id]).load(std::memory_order_relaxed);
    };
    // The word of `id` below a parent with `parent`'s word (0 for a record without parent).
    auto wordOf = [&](std::uint32_t id, std::uint32_t parent) {
        const FileRecord& r = store[id];
        const bool app = r.flags.contains(RecordFlags::isApp);
        std::int32_t depth = 0;
        std::int32_t appDistance = app ? 0 : -1;
        bool demoted = false;
        bool insideApp = false;
        if (parent != 0) {
            const FolderFacts above = folderFacts(parent);
            depth = above.depth + 1;
            demoted = above.demotesChildren;
            if (!app && above.appDistance >= 0) appDistance = above.appDistance + 1;
            insideApp = !app && above.appDistance >= 0 && above.appDistance < maxDepth;
        }
        const bool demotes = demoted || demotesBelow(store.nameBytes(id));
        return knownBit | static_cast<std::uint32_t>(depth) |
               static_cast<std::uint32_t>(appDistance + 1) << 9 |
               (demotes ? demotesChildrenBit : 0) | (demoted ? demotedBit : 0) |
               (insideApp ? insideAppBit : 0) | (app ? appBit : 0) |
               (r.flags.contains(RecordFlags::isHidden) ? hiddenBit : 0);
    };
    constexpr std::size_t chunk = 1 << 16;
    pool.parallelFor((count + chunk - 1) / chunk, [&](std::size_t c) {
        std::array<std::uint32_t, maxDepth> chain{};
        const std::size_t end = std::min(count, (c + 1) * chunk);
        for (std::size_t id = c * chunk; id < end; ++id) {
            if (load(static_cast<std::uint32_t>(id)) != 0) continue;
            // Up to the first record known or the top, at most `maxDepth` links, then down.
            std::size_t k = 0;
            std::uint32_t cur = static_cast<std::uint32_t>(id);
            std::uint32_t below = 0;
            for (;;) {
                if (const std::uint32_t w = load(cur); w != 0) {
                    below = w;
                    break;
                }
                if (store[cur].parentID == FileRecord::rootParentID) {
                    below = wordOf(cur, 0);
                    std::atomic_ref<std::uint32_t>(words[cur])
                        .store(below, std::memory_order_relaxed);
                    break;
                }
                if (k == maxDepth) break; // deeper than the table goes, or a loop
                chain[k++] = cur;
                cur = store[cur].parentID;
            }
            while (below != 0 && k > 0) {
                if (folderFacts(below).depth == maxDepth) break;
                const std::uint32_t node = chain[--k];
                below = wordOf(node, below);
                std::atomic_ref<std::uint32_t>(words[node]).store(below, std::memory_order_relaxed);
            }
        }
    });
    return table;
}

} // namespace ulmaro
