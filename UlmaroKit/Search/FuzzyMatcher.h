#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace ulmaro {

/// Scores a name as a greedy subsequence of the typed text, for typos and abbreviations
/// ("kywrd" finds "keyword.txt"). Works on bytes; only name bytes A-Z are folded.
namespace FuzzyMatcher {

inline constexpr std::size_t minNeedleLength = 3;
inline constexpr std::size_t maxNeedleLength = 32;

/// Hits below this are dropped by the fuzzy fallback.
constexpr int minimumScore(std::size_t needleLength) {
    return 4 * static_cast<int>(needleLength);
}

struct Result {
    int score = 0;
    int firstMatch = 0; // byte offset of the first matched byte

    friend bool operator==(const Result&, const Result&) = default;
};

inline bool isEligible(std::string_view needle) {
    return needle.size() >= minNeedleLength && needle.size() <= maxNeedleLength;
}

/// `needle` must already be lower case; `haystack` is the raw name bytes.
std::optional<Result> match(std::string_view needle, std::string_view haystack);

} // namespace FuzzyMatcher

} // namespace ulmaro
