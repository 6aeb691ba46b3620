#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>

namespace ulmaro {

/// How well a name matched; smaller is better, and scoped enums compare by raw value.
enum class MatchQuality : std::uint8_t {
    exact = 0,        // the whole name equals the needle
    prefix = 1,       // the name begins with the needle
    wordBoundary = 2, // the needle starts at a word start inside the name
    substring = 3,    // elsewhere, or no scored text term
    fuzzy = 4,        // found only by the fuzzy fallback
};

inline constexpr std::array<MatchQuality, 5> allMatchQualities = {
    MatchQuality::exact, MatchQuality::prefix, MatchQuality::wordBoundary, MatchQuality::substring,
    MatchQuality::fuzzy};

constexpr std::uint8_t rawValue(MatchQuality q) {
    return static_cast<std::uint8_t>(q);
}

/// nullopt for a raw value of 5 or more.
constexpr std::optional<MatchQuality> matchQualityFromRaw(std::uint8_t raw) {
    if (raw >= allMatchQualities.size()) return std::nullopt;
    return static_cast<MatchQuality>(raw);
}

std::ostream& operator<<(std::ostream& os, MatchQuality q);

} // namespace ulmaro
