#pragma once

#include "UlmaroAppKit/Search/RankedRow.h"

#include <string>
#include <vector>

namespace ulmaro {

/// One run of a result's name: valid UTF-8 text, bold or plain.
struct EmphasisRun {
    std::string text;
    bool bold = false;
    friend bool operator==(const EmphasisRun&, const EmphasisRun&) = default;
};

/// A result's name with its matched parts in bold: the row's `matchRanges`, or else the one
/// range from `matchOffset` over `matchByteLength`, cut to the name, empty ones dropped,
/// taken in order of their start (a range starting inside one already taken is skipped
/// whole). A range edge inside a multi-byte character is moved out to the character's
/// edges, so a cut never shows U+FFFD; only the name's own invalid bytes do. A negative
/// length is no range. The runs joined are the name repaired.
std::vector<EmphasisRun> emphasizedName(const RankedRow& row);

} // namespace ulmaro
