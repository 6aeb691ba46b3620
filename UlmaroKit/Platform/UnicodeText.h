#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ulmaro {

/// Unicode text operations on UTF-8, backed by ICU. Invalid input is repaired first
/// (each invalid sequence becomes U+FFFD), so results are always valid UTF-8.
struct UnicodeText {
    /// The Unicode default (locale-independent) full lower-case mapping.
    static std::string lowercased(std::string_view utf8);
    /// The number of extended grapheme clusters: what users call characters.
    static std::size_t graphemeCount(std::string_view utf8);
    /// The first `count` extended grapheme clusters of valid UTF-8 (the whole text
    /// when it has fewer).
    static std::string_view graphemePrefix(std::string_view utf8, std::size_t count);
};

} // namespace ulmaro
