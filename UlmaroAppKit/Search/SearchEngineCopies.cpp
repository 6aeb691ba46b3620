#include "UlmaroAppKit/Search/RowBuilding.h"
#include "UlmaroAppKit/Search/SearchEngine.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Search/DuplicateFinder.h"

#include <unordered_set>
#include <utility>

namespace ulmaro {

void SearchEngine::findCopies(std::uint32_t id, std::string path, CopiesCompletion completion) {
    queue_->async(
        [weak = weak_from_this(), id, path = std::move(path), completion = std::move(completion)] {
            if (const std::shared_ptr<SearchEngine> self = weak.lock())
                completion(self->copies(id, path));
        });
}

std::optional<SearchEngine::CopiesItem> SearchEngine::copiesItem(std::uint32_t id,
                                                                 std::string_view path) {
    if (const auto found = catalogRowLookup_.find(id); found != catalogRowLookup_.end()) {
        const CatalogRecord record = found->second;
        CatalogSource& source = *catalogSources_[record.source];
        const std::optional<CatalogLocation> location = source.location(record.record);
        if (!location || location->path != path) return std::nullopt;
        return CopiesItem{record.source, record.record, source.input().store.get()};
    }
    // The ID may come from an older engine's list (engines are rebuilt after a rescan
    // without the query being run again): it counts only while it still names this path.
    if (id >= store_->count()) return std::nullopt;
    const std::optional<std::string> own = paths_.path(id);
    if (!own || *own != path) return std::nullopt;
    return CopiesItem{std::nullopt, id, store_.get()};
}

SearchOutcome SearchEngine::copies(std::uint32_t id, std::string_view path) {
    const MonotonicTime start = clock_->monotonicNow();
    const bool excludingSystemPaths = excludeSystemPaths_ && excludeSystemPaths_();
    const std::optional<CopiesItem> item = copiesItem(id, path);
    if (!item) return SearchOutcome::noMatches();

    const FileRecord& record = (*item->store)[item->record];
    const bool isDirectory = record.flags.contains(RecordFlags::isDirectory);
    const std::string name(item->store->nameBytes(item->record));
    const auto nameLength = static_cast<std::int64_t>(name.size());

    std::unordered_set<std::string> seen{std::string(path)};
    std::vector<RankedRow> sameSize;
    std::vector<RankedRow> otherSize;
    auto consider = [&](RankedRow row, bool equalSize) {
        if (hides(row.path, excludingSystemPaths) || !seen.insert(row.path).second) return;
        (equalSize ? sameSize : otherSize).push_back(std::move(row));
    };

    const auto mainExcluded = item->source ? std::nullopt : std::optional(item->record);
    for (const DuplicateFinder::Copy& copy :
         DuplicateFinder::copies(name, isDirectory, record.size, *store_, mainExcluded, limit_)) {
        std::optional<std::string> copyPath = paths_.path(copy.id);
        if (!copyPath) continue;
        RankedRow row = RowBuilding::recordRow(*store_, copy.id, copy.id, std::move(*copyPath));
        row.matchByteLength = (*store_)[copy.id].nameLen;
        consider(std::move(row), copy.sameSize);
    }

    for (std::size_t j = 0; j < catalogSources_.size(); ++j) {
        CatalogSource& source = *catalogSources_[j];
        const CatalogSearchInput& input = source.input();
        const auto excluded = item->source == j ? std::optional(item->record) : std::nullopt;
        for (const DuplicateFinder::Copy& copy : DuplicateFinder::copies(
                 name, isDirectory, record.size, *input.store, excluded, limit_)) {
            std::optional<CatalogLocation> location = source.location(copy.id);
            if (!location) continue;
            const std::uint32_t rowID = CatalogSource::rowID(input.id, location->path);
            RankedRow row =
                RowBuilding::recordRow(*input.store, copy.id, rowID, std::move(location->path));
            row.matchByteLength = nameLength;
            row.origin = RowOrigin::fromCatalog(input.id, input.name, location->isOnline);
            // A copy listed here may be asked for its own copies in turn.
            catalogRowLookup_[rowID] = {j, copy.id};
            consider(std::move(row), copy.sameSize);
        }
    }

    std::vector<RankedRow> rows = std::move(sameSize);
    for (RankedRow& row : otherSize) {
        if (std::cmp_greater_equal(rows.size(), limit_)) break;
        rows.push_back(std::move(row));
    }
    if (std::cmp_greater(rows.size(), std::max<std::int64_t>(limit_, 0)))
        rows.resize(static_cast<std::size_t>(std::max<std::int64_t>(limit_, 0)));
    const double took = Seconds(clock_->monotonicNow() - start).count();
    if (rows.empty()) return SearchOutcome::noMatches();
    const auto total = static_cast<std::int64_t>(rows.size());
    return SearchOutcome::results(std::move(rows), total, took);
}

} // namespace ulmaro
