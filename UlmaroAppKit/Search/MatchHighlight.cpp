#include "UlmaroAppKit/Search/MatchHighlight.h"

#include <algorithm>
#include <cstddef>

namespace ulmaro {
namespace {

constexpr unsigned char foldAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c | 0x20) : c;
}

bool isHighlightWord(std::string_view word) {
    return !word.empty() && word.find(':') == std::string_view::npos &&
           word.find('|') == std::string_view::npos && word.front() != '!' && word.front() != '/';
}

std::ptrdiff_t firstOccurrence(std::string_view name, std::string_view word) {
    if (name.size() < word.size()) return -1;
    const std::size_t last = name.size() - word.size();
    for (std::size_t s = 0; s <= last; ++s) {
        std::size_t i = 0;
        while (i < word.size() && foldAscii(static_cast<unsigned char>(name[s + i])) ==
                                      foldAscii(static_cast<unsigned char>(word[i])))
            ++i;
        if (i == word.size()) return static_cast<std::ptrdiff_t>(s);
    }
    return -1;
}

std::vector<ByteRange> merge(std::vector<ByteRange> ranges) {
    if (ranges.size() < 2) return ranges;
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const ByteRange& a, const ByteRange& b) { return a.lower < b.lower; });
    std::vector<ByteRange> out{ranges.front()};
    for (std::size_t i = 1; i < ranges.size(); ++i) {
        ByteRange& last = out.back();
        if (last.upper >= ranges[i].lower)
            last.upper = std::max(last.upper, ranges[i].upper);
        else
            out.push_back(ranges[i]);
    }
    return out;
}

} // namespace

std::vector<ByteRange> MatchHighlight::ranges(std::string_view name, std::string_view query) {
    std::vector<ByteRange> found;
    std::size_t start = 0;
    while (start < query.size()) {
        std::size_t end = query.find(' ', start);
        if (end == std::string_view::npos) end = query.size();
        const std::string_view word = query.substr(start, end - start);
        start = end + 1;
        if (!isHighlightWord(word)) continue;
        const std::ptrdiff_t at = firstOccurrence(name, word);
        if (at >= 0) found.push_back({at, at + static_cast<std::ptrdiff_t>(word.size())});
    }
    return merge(std::move(found));
}

} // namespace ulmaro
