#pragma once

#include "UlmaroAppKit/Search/ByteRange.h"

#include <string_view>
#include <vector>

namespace ulmaro {

/// Which bytes of a result's name to emphasise for the text the user typed.
namespace MatchHighlight {

/// For each plain word of `query` (split at U+0020; words with ":" or "|", or beginning
/// with "!" or "/", are operators and skipped), the first place it occurs in `name`, ASCII
/// letters compared without case and every other byte exactly. Sorted, with overlapping or
/// touching ranges joined. Both texts are UTF-8, so a range never splits a character.
std::vector<ByteRange> ranges(std::string_view name, std::string_view query);

} // namespace MatchHighlight
} // namespace ulmaro
