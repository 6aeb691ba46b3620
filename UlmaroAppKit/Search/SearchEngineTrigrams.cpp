#include "UlmaroAppKit/Search/SearchEngine.h"
#include "UlmaroKit/Index/IndexStore.h"

#include <new>

namespace ulmaro {
namespace {

// Loads the cache file when it was written for this store, else builds from the names
// and writes the cache (a failed write only means building again next launch).
void loadOrBuild(const IndexStore& store, TrigramIndexHolder& holder, std::uint64_t key) {
    const auto count = static_cast<std::uint32_t>(store.count());
    const std::optional<std::filesystem::path>& cache = holder.cacheURL();
    if (cache) {
        if (std::optional<TrigramIndex> loaded = TrigramIndex::load(*cache, key, count)) {
            holder.finishBuild(std::make_shared<const TrigramIndex>(std::move(*loaded)), key);
            return;
        }
    }
    std::optional<TrigramIndex> built;
    try {
        built =
            TrigramIndex::build([&store](std::uint32_t id) { return store.nameBytes(id); }, count);
    } catch (const std::bad_alloc&) {
    }
    if (!built) {
        // The sessions search without the prefilter; the next engine asks again.
        holder.abandonBuild(key);
        return;
    }
    const auto index = std::make_shared<const TrigramIndex>(std::move(*built));
    holder.finishBuild(index, key);
    if (!cache) return;
    try {
        index->write(*cache, key);
    } catch (const std::exception&) {
    }
}

} // namespace

void SearchEngine::installTrigrams(std::shared_ptr<const IndexStore> store,
                                   const std::shared_ptr<TrigramIndexHolder>& holder,
                                   std::shared_ptr<SerialQueue> queue,
                                   TrigramIndexHolder::Install install,
                                   SerialQueueFactory& queues) {
    const std::uint64_t key = store->header().checksum;
    const bool mustBuild =
        holder->request(key, [queue = std::move(queue),
                              install = std::move(install)](TrigramIndexHolder::Index index) {
            queue->async([install, index = std::move(index)] { install(index); });
        });
    if (!mustBuild) return;
    // A queue per build, so that the main index and each catalog build side by side and no
    // other background job waits behind them. The task keeps its queue until it starts.
    std::shared_ptr<SerialQueue> build = queues.makeQueue(buildQueueLabel, QueueQuality::utility);
    build->async([build, store = std::move(store), holder, key]() mutable {
        build.reset();
        loadOrBuild(*store, *holder, key);
    });
}

void SearchEngine::useTrigramIndex(const std::shared_ptr<TrigramIndexHolder>& holder,
                                   SerialQueueFactory& queues) {
    if (!holder) return;
    installTrigrams(
        store_, holder, queue_,
        [weak = weak_from_this()](TrigramIndexHolder::Index index) {
            if (const auto self = weak.lock()) self->session_.setTrigrams(std::move(index));
        },
        queues);
}

void SearchEngine::useCatalogTrigramIndexes(const CatalogTrigramHolders& holders,
                                            SerialQueueFactory& queues) {
    if (!holders) return;
    for (const std::shared_ptr<CatalogSource>& source : catalogSources_) {
        const std::shared_ptr<TrigramIndexHolder> holder = holders(source->input().id);
        if (!holder) continue;
        installTrigrams(
            source->input().store, holder, queue_,
            [weak = std::weak_ptr<CatalogSource>(source)](TrigramIndexHolder::Index index) {
                if (const auto catalog = weak.lock())
                    catalog->session().setTrigrams(std::move(index));
            },
            queues);
    }
}

} // namespace ulmaro
