#include "UlmaroAppKit/Panel/NameEmphasis.h"

#include "UlmaroKit/Platform/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace ulmaro {
namespace {

struct Range {
    std::size_t lower;
    std::size_t upper;
};

// The length of a well-formed UTF-8 sequence starting at `at`; 0 when none starts there.
std::size_t sequenceLength(std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 0;
    if (length == 0 || at + length > bytes.size()) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(bytes[at + i]) & 0xC0) != 0x80) return 0;
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    return repairUtf8(bytes.substr(at, length)) == bytes.substr(at, length) ? length : 0;
}

// The start of the character that covers byte `at`, or `at` when none covers it.
std::size_t characterStart(std::string_view bytes, std::size_t at) {
    for (std::size_t back = 1; back <= 3 && back <= at; ++back) {
        const std::size_t start = at - back;
        if (const std::size_t length = sequenceLength(bytes, start); length > back) return start;
    }
    return at;
}

} // namespace

std::vector<EmphasisRun> emphasizedName(const RankedRow& row) {
    const std::string_view name = row.name;
    const std::size_t n = name.size();
    std::vector<Range> ranges;
    auto add = [&](std::int64_t lower, std::int64_t upper) {
        const auto clamp = [n](std::int64_t v) {
            return std::size_t(std::clamp<std::int64_t>(v, 0, std::int64_t(n)));
        };
        std::size_t from = clamp(lower), to = clamp(upper);
        if (from >= to) return;
        if (from < n) from = characterStart(name, from);
        if (to < n) {
            const std::size_t start = characterStart(name, to);
            if (start < to) to = start + sequenceLength(name, start);
        }
        ranges.push_back({from, to});
    };
    if (!row.matchRanges.empty()) {
        for (const auto& range : row.matchRanges)
            add(std::int64_t(range.lower), std::int64_t(range.upper));
    } else if (row.matchByteLength > 0) {
        add(row.matchOffset, row.matchOffset + row.matchByteLength);
    }
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const Range& a, const Range& b) { return a.lower < b.lower; });
    if (ranges.empty()) return {{repairUtf8(name), false}};

    std::vector<EmphasisRun> runs;
    std::size_t cursor = 0;
    for (const Range& range : ranges) {
        if (range.lower < cursor) continue;
        if (range.lower > cursor)
            runs.push_back({repairUtf8(name.substr(cursor, range.lower - cursor)), false});
        runs.push_back({repairUtf8(name.substr(range.lower, range.upper - range.lower)), true});
        cursor = range.upper;
    }
    if (cursor < n) runs.push_back({repairUtf8(name.substr(cursor)), false});
    return runs;
}

} // namespace ulmaro
