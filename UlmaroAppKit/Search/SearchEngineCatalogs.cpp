#include "UlmaroAppKit/Search/RowBuilding.h"
#include "UlmaroAppKit/Search/SearchEngine.h"
#include "UlmaroKit/Index/IndexStore.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

namespace ulmaro {

SearchEngine::IndexAnswer SearchEngine::searchCatalog(std::size_t source, std::string_view text,
                                                      std::int64_t limit) {
    CatalogSource& catalog = *catalogSources_[source];
    return answer(catalog.session(), catalog.ranker(), text, limit);
}

SearchEngine::RankedCatalogs SearchEngine::catalogCandidates(std::span<const IndexAnswer> answers) {
    RankedCatalogs ranked;
    catalogRowLookup_.clear();
    for (std::size_t k = 0; k < answers.size(); ++k) {
        const CatalogSearchInput& input = catalogSources_[k]->input();
        ranked.total += answers[k].matches;
        for (const RankedResult& result : answers[k].ranked) {
            if (input.rootRecordID && result.match.id < *input.rootRecordID) continue;
            const bool isApp = (*input.store)[result.match.id].flags.contains(RecordFlags::isApp);
            ranked.candidates.push_back({k, result, tier(result.match.quality, isApp)});
        }
    }
    return ranked;
}

SearchEngine::RankedCatalogs SearchEngine::rankCatalogs(std::string_view text) {
    if (catalogSources_.empty()) return {};
    std::vector<IndexAnswer> answers;
    for (std::size_t k = 0; k < catalogSources_.size(); ++k)
        answers.push_back(searchCatalog(k, text, limit_));
    return catalogCandidates(answers);
}

std::optional<RankedRow> SearchEngine::catalogRow(const CatalogCandidate& candidate,
                                                  std::string_view text) {
    CatalogSource& source = *catalogSources_[candidate.source];
    const std::uint32_t record = candidate.result.match.id;
    std::optional<CatalogLocation> location = source.location(record);
    if (!location) return std::nullopt;
    const CatalogSearchInput& input = source.input();
    const std::uint32_t id = CatalogSource::rowID(input.id, location->path);
    RankedRow row = RowBuilding::recordRow(*input.store, record, id, std::move(location->path));
    RowBuilding::addNameMatch(row, candidate.result.match, text);
    row.origin = RowOrigin::fromCatalog(input.id, input.name, location->isOnline);
    return row;
}

std::vector<RankedRow> SearchEngine::merge(std::vector<RankedRow> baseRows,
                                           std::span<const RankedResult> rankedBase,
                                           std::span<const CatalogCandidate> catalogs,
                                           std::string_view text, std::int64_t window) {
    const std::size_t baseCount = std::min(baseRows.size(), rankedBase.size());
    struct Key {
        int tier;
        std::int32_t score;
        std::size_t position;
    };
    std::vector<Key> keys;
    keys.reserve(baseCount + catalogs.size());
    for (std::size_t i = 0; i < baseCount; ++i)
        keys.push_back(
            {tier(rankedBase[i].match.quality, baseRows[i].isApp), rankedBase[i].score, i});
    for (std::size_t j = 0; j < catalogs.size(); ++j)
        keys.push_back({catalogs[j].tier, catalogs[j].result.score, baseCount + j});
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        if (a.tier != b.tier) return a.tier < b.tier;
        if (a.score != b.score) return a.score > b.score;
        return a.position < b.position;
    });

    std::unordered_set<std::string_view> basePaths;
    basePaths.reserve(baseCount);
    for (std::size_t i = 0; i < baseCount; ++i)
        basePaths.insert(baseRows[i].path);

    // The order is settled first and the rows moved afterwards, since `basePaths` views
    // the base rows' strings.
    std::unordered_map<std::uint32_t, CatalogRecord> lookup;
    std::vector<RankedRow> catalogRows;
    std::vector<std::ptrdiff_t> order; // a base position, or −1 − the catalog row's index
    for (const Key& key : keys) {
        if (std::cmp_greater_equal(order.size(), window)) break;
        if (key.position < baseCount) {
            order.push_back(static_cast<std::ptrdiff_t>(key.position));
            continue;
        }
        const CatalogCandidate& candidate = catalogs[key.position - baseCount];
        std::optional<RankedRow> row = catalogRow(candidate, text);
        if (!row || basePaths.contains(row->path)) continue;
        lookup[row->id] = {candidate.source, candidate.result.match.id};
        order.push_back(-1 - static_cast<std::ptrdiff_t>(catalogRows.size()));
        catalogRows.push_back(std::move(*row));
    }
    catalogRowLookup_ = std::move(lookup);

    std::vector<RankedRow> rows;
    rows.reserve(order.size());
    for (std::ptrdiff_t at : order)
        rows.push_back(at >= 0 ? std::move(baseRows[static_cast<std::size_t>(at)])
                               : std::move(catalogRows[static_cast<std::size_t>(-1 - at)]));
    return rows;
}

} // namespace ulmaro
