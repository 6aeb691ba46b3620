#include "UlmaroAppKit/Search/SearchEngine.h"
#include "UlmaroAppKit/Text/NaturalCompare.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace ulmaro {

std::vector<RankedRow> SearchEngine::sort(std::vector<RankedRow> rows, SortOrder order) {
    switch (order) {
    case SortOrder::relevance:
        break;
    case SortOrder::size:
        std::stable_sort(rows.begin(), rows.end(),
                         [](const RankedRow& a, const RankedRow& b) { return a.size > b.size; });
        break;
    case SortOrder::dateModified:
        std::stable_sort(rows.begin(), rows.end(),
                         [](const RankedRow& a, const RankedRow& b) { return a.mtime > b.mtime; });
        break;
    case SortOrder::name:
        std::stable_sort(rows.begin(), rows.end(), [](const RankedRow& a, const RankedRow& b) {
            return naturalLess(a.name, b.name);
        });
        break;
    }
    return rows;
}

void SearchEngine::orderRows(std::vector<RankedRow>& rows) const {
    if (sortOrder_ != SortOrder::relevance) {
        rows = sort(std::move(rows), sortOrder_);
        return;
    }
    if (!frecencyBoost_ || rows.size() < 2) return;
    // Each row keeps its place as a score (n for the first, one less for each next) and
    // opening history lifts it from there.
    const std::size_t n = rows.size();
    std::vector<double> score(n);
    bool boosted = false;
    for (std::size_t i = 0; i < n; ++i) {
        // A boost that is not a finite number would leave the order undefined.
        double boost = frecencyBoost_(rows[i].path);
        if (!std::isfinite(boost)) boost = 0;
        boosted = boosted || boost != 0;
        score[i] = boost + static_cast<double>(n - i);
    }
    if (!boosted) return;
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return score[a] > score[b]; });
    std::vector<RankedRow> sorted;
    sorted.reserve(n);
    for (std::size_t i : order)
        sorted.push_back(std::move(rows[i]));
    rows = std::move(sorted);
}

} // namespace ulmaro
