#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ulmaro {

/// Whether the bytes are well-formed UTF-8 (no overlongs, surrogates or values past U+10FFFF).
bool isValidUtf8(std::string_view bytes);

/// The bytes as UTF-8 text, each maximal invalid subsequence replaced by U+FFFD
/// (the Unicode "maximal subpart" practice). Valid input comes back unchanged.
std::string repairUtf8(std::string_view bytes);

/// Appends `repairUtf8(bytes)` to `out` without a temporary.
void appendRepairedUtf8(std::string& out, std::string_view bytes);

} // namespace ulmaro
