#include "UlmaroKit/Search/FuzzyMatcher.h"

#include <algorithm>

namespace ulmaro::FuzzyMatcher {

namespace {

constexpr unsigned char fold(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + 0x20 : c;
}
constexpr bool isSeparator(unsigned char c) {
    return c == ' ' || c == '-' || c == '.' || c == '/' || c == '_';
}
constexpr bool isUpper(unsigned char c) {
    return c >= 'A' && c <= 'Z';
}
constexpr bool isLower(unsigned char c) {
    return c >= 'a' && c <= 'z';
}

} // namespace

std::optional<Result> match(std::string_view needle, std::string_view haystack) {
    if (needle.empty() || needle.size() > haystack.size()) return std::nullopt;
    const auto* n = reinterpret_cast<const unsigned char*>(needle.data());
    const auto* h = reinterpret_cast<const unsigned char*>(haystack.data());
    const std::size_t nl = needle.size(), hl = haystack.size();

    std::size_t sought = 0;
    int score = 0;
    int gapSum = 0;
    std::ptrdiff_t first = -1, last = -1;
    if (fold(h[0]) == n[0]) {
        score = 10;
        first = last = 0;
        sought = 1;
    }
    for (std::size_t p = 1; p < hl && sought < nl; ++p) {
        if (fold(h[p]) != n[sought]) continue;
        if (first < 0) first = static_cast<std::ptrdiff_t>(p);
        bool wordStart = false;
        if (last >= 0 && static_cast<std::ptrdiff_t>(p) == last + 1) {
            score += 8;
        } else if (isSeparator(h[p - 1]) || (isUpper(h[p]) && isLower(h[p - 1]))) {
            score += 6;
            wordStart = true;
        }
        if (last >= 0 && !wordStart)
            gapSum += static_cast<int>(static_cast<std::ptrdiff_t>(p) - last - 1);
        last = static_cast<std::ptrdiff_t>(p);
        ++sought;
    }
    if (sought < nl) return std::nullopt;
    return Result{score - std::min(gapSum, 20), static_cast<int>(first)};
}

} // namespace ulmaro::FuzzyMatcher
