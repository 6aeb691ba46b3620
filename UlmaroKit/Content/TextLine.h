#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ulmaro {

/// The one line rule of content search, live or indexed: CR LF, LF and a lone CR each end
/// one line.
struct TextLine {
    std::int64_t number = 1; // 1-based
    /// The bytes of the line(s) a match spans, without their breaks.
    std::size_t begin = 0;
    std::size_t end = 0;

    /// The line holding bytes [matchBegin, matchEnd): from the byte after the last break
    /// before the match to the first break at or after its last byte.
    static TextLine around(std::string_view text, std::size_t matchBegin, std::size_t matchEnd);
};

} // namespace ulmaro
