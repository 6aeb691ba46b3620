#include "UlmaroAppKit/Search/SearchEngine.h"

namespace ulmaro {

// Documents are not read yet: rows found by name pass as they are, and a contents-only
// query finds no documents.

std::vector<RankedRow> SearchEngine::applyContentFilter(std::vector<RankedRow> rows,
                                                        std::string_view text) {
    (void)text;
    return rows;
}

std::vector<RankedRow> SearchEngine::documentsContaining(std::span<const std::string> needles) {
    (void)needles;
    return {};
}

} // namespace ulmaro
