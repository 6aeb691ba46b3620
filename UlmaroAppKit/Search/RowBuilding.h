#pragma once

#include "UlmaroAppKit/Search/RankedRow.h"
#include "UlmaroKit/Search/Match.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ulmaro {

class IndexStore;

/// How a record becomes a result row, for every source alike.
namespace RowBuilding {

/// Identity and attributes from the record: name (repaired), size, time and flags.
RankedRow recordRow(const IndexStore& store, std::uint32_t record, std::uint32_t id,
                    std::string path);

/// The fields of a row found by name: where the match begins, the highlighted ranges of
/// the name and, when there are some, the byte length of the whole query text.
void addNameMatch(RankedRow& row, const Match& match, std::string_view text);

} // namespace RowBuilding
} // namespace ulmaro
