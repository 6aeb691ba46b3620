#pragma once

#include <string>
#include <string_view>

namespace ulmaro {

/// Orders names the way a file manager lists them: the user's locale, numbers by value,
/// case ignored and accents not ("file2" before "File10"); names that still tie are ordered
/// bytewise, so the order is total. Negative, zero or positive like `strcmp`.
int naturalCompare(std::string_view a, std::string_view b);
inline bool naturalLess(std::string_view a, std::string_view b) {
    return naturalCompare(a, b) < 0;
}

/// Bytes that order as `naturalCompare` does before its bytewise tie-break: compare keys
/// with `<` (names that only differ in case give equal keys). Sorting many names on keys
/// made once costs one collator call per name instead of one per comparison.
std::string naturalSortKey(std::string_view name);

} // namespace ulmaro
