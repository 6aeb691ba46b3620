#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ulmaro {

// Unicode operations on UTF-8 text that document text needs. Input is expected to be
// well-formed UTF-8 (repaired text); ill-formed bytes are passed through or replaced, never
// a failure.

/// The Unicode default lower-case mapping, independent of locale (full mapping, so the
/// result may be longer than the input).
std::string lowercasedText(std::string_view text);

/// The first `count` characters (extended grapheme clusters) of the text.
std::string_view firstCharacters(std::string_view text, std::size_t count);

/// The text without spaces (Unicode space separators) and tabs at either end.
std::string_view trimmingSpaces(std::string_view text);

/// The text without white space and line breaks (space separators, tab, U+000A to U+000D,
/// U+0085, U+2028, U+2029) at either end.
std::string_view trimmingWhitespaceAndNewlines(std::string_view text);

/// The canonically composed form (NFC), whose byte order is the order of Unicode scalars.
std::string composedText(std::string_view text);

} // namespace ulmaro
