#include "UlmaroAppKit/Panel/CheatSheetLayout.h"

#include "UlmaroAppKit/Panel/OverlayLayout.h"

#include <algorithm>
#include <cstdlib>

namespace ulmaro::CheatSheetLayout {
namespace {

int weight(const SearchSyntax::Group& group) {
    return int(group.entries.size()) + 1;
}

std::size_t splitPoint(std::span<const SearchSyntax::Group> groups) {
    if (groups.size() <= 1) return groups.size();
    int total = 0;
    for (const auto& group : groups)
        total += weight(group);
    std::size_t best = 1;
    int bestDifference = -1;
    int left = 0;
    for (std::size_t k = 1; k < groups.size(); ++k) {
        left += weight(groups[k - 1]);
        const int difference = std::abs(left - (total - left));
        if (bestDifference < 0 || difference < bestDifference) {
            best = k;
            bestDifference = difference;
        }
    }
    return best;
}

int entryCount(std::span<const SearchSyntax::Group> groups) {
    int count = 0;
    for (const auto& group : groups)
        count += int(group.entries.size());
    return count;
}

} // namespace

Columns columns(std::span<const SearchSyntax::Group> groups) {
    const std::size_t k = splitPoint(groups);
    return {{groups.begin(), groups.begin() + std::ptrdiff_t(k)},
            {groups.begin() + std::ptrdiff_t(k), groups.end()}};
}

int searchRowCount(std::span<const SearchSyntax::Group> groups) {
    const std::size_t k = splitPoint(groups);
    return std::max(entryCount(groups.first(k)), entryCount(groups.subspan(k)));
}

int height(int searchRows, int keyRows) {
    return int(OverlayLayout::cheatSheetHeight(searchRows, keyRows));
}

int height(std::span<const SearchSyntax::Group> groups, std::size_t shortcutRows,
           std::size_t filterRows) {
    return height(searchRowCount(groups), int(std::max(shortcutRows, filterRows)) + 1);
}

} // namespace ulmaro::CheatSheetLayout
