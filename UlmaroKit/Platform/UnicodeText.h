#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// Unicode operations on UTF-8 text, backed by ICU. "Characters" are extended grapheme
/// clusters, as a user sees them. Input is expected to be valid UTF-8 (repair it with
/// repairUtf8 first when it may not be); ill-formed bytes never make an operation fail.
namespace UnicodeText {

/// The text split into grapheme clusters, as views into `text`.
std::vector<std::string_view> graphemes(std::string_view text);

std::size_t graphemeCount(std::string_view text);

/// The first `count` grapheme clusters of the text (all of it when it has fewer).
std::string_view graphemePrefix(std::string_view text, std::size_t count);

/// The Unicode default full lower-case mapping, independent of locale.
std::string lowercased(std::string_view text);

/// The canonically composed form (NFC).
std::string composed(std::string_view text);

/// Whether the code point is a tab or a space separator (general category Zs).
bool isSpaceOrTab(char32_t c);

/// `text` without leading and trailing tabs and space separators.
std::string_view trimmingSpacesAndTabs(std::string_view text);

/// `text` without leading and trailing white space and line breaks (separators, tab,
/// U+000A to U+000D, U+0085).
std::string_view trimmingWhitespaceAndNewlines(std::string_view text);

/// The first code point of the text; U+FFFD for empty or malformed input.
char32_t firstScalar(std::string_view text);

/// Letter / number by the first code point's Unicode properties (Alphabetic; any numeric type).
bool isLetter(std::string_view character);
bool isNumber(std::string_view character);

} // namespace UnicodeText
} // namespace ulmaro
