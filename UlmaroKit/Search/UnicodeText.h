#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// Small Unicode helpers over UTF-8 text (ICU underneath). "Characters" here are extended
/// grapheme clusters, as a user sees them. Input is expected to be valid UTF-8 (use
/// repairUtf8 first when it may not be).
namespace UnicodeText {

/// The text split into grapheme clusters, as views into `text`.
std::vector<std::string_view> graphemes(std::string_view text);

std::size_t graphemeCount(std::string_view text);

/// Unicode default full lower-case mapping (root locale).
std::string lowercased(std::string_view text);

/// Whether the code point is a tab or a space separator (general category Zs).
bool isSpaceOrTab(char32_t c);

/// `text` without leading and trailing tabs and space separators.
std::string_view trimmingSpacesAndTabs(std::string_view text);

/// The first code point of the text; U+FFFD for empty or malformed input.
char32_t firstScalar(std::string_view text);

/// Letter / number by the first code point's Unicode properties (Alphabetic; any numeric type).
bool isLetter(std::string_view character);
bool isNumber(std::string_view character);

} // namespace UnicodeText

} // namespace ulmaro
