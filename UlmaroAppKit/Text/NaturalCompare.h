#pragma once

#include <string_view>

namespace ulmaro {

/// Orders names the way a file manager lists them: the user's locale, numbers by value,
/// case ignored and accents not ("file2" before "File10"); names that still tie are ordered
/// bytewise, so the order is total. Negative, zero or positive like `strcmp`.
int naturalCompare(std::string_view a, std::string_view b);
inline bool naturalLess(std::string_view a, std::string_view b) {
    return naturalCompare(a, b) < 0;
}

} // namespace ulmaro
