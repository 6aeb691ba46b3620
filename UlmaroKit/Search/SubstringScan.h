#pragma once

#include "UlmaroKit/Search/Match.h"
#include "UlmaroKit/Search/MatchQuality.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

class IndexStore;
class WorkerPool;

/// The byte search under every name match: names are compared as bytes with only A-Z folded
/// to a-z. Needles handed in here are already folded.
namespace SubstringScan {

constexpr unsigned char foldAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 0x20) : c;
}

/// A match starting right after one of these bytes starts at a word.
constexpr bool isBoundaryByte(unsigned char c) {
    return c == ' ' || c == '-' || c == '.' || c == '/' || c == '_';
}

/// The bytes with A-Z folded to a-z.
std::string folded(std::string_view bytes);

/// The leftmost offset at which the folded needle occurs in `name` (read folded), or npos.
/// An empty needle, or a name shorter than the needle, gives npos.
std::size_t find(std::string_view foldedNeedle, std::string_view name);

/// The grade of an occurrence of an m-byte needle at offset p of `name`.
constexpr MatchQuality grade(std::string_view name, std::size_t p, std::size_t m) {
    if (p == 0) return m == name.size() ? MatchQuality::exact : MatchQuality::prefix;
    return isBoundaryByte(static_cast<unsigned char>(name[p - 1])) ? MatchQuality::wordBoundary
                                                                   : MatchQuality::substring;
}

/// Where each record's name starts in the blob, in a compact form for mapping a blob position
/// back to its record: every start (4 bytes a record), and every 16th start (one per cache line
/// of the first array, small enough to stay in cache).
struct NameLayout {
    static constexpr std::size_t stride = 16;
    std::vector<std::uint32_t> starts;
    std::vector<std::uint32_t> sparse;
};

/// The layout, when each name starts at or after the end of the previous record's name (as the
/// index writer lays them out); nothing otherwise. One parallel pass over the records.
std::optional<NameLayout> nameLayoutInRecordOrder(const IndexStore& store, WorkerPool& pool);

/// Appends a graded match for every record of [begin, end) whose name holds the needle, in
/// ascending record order. Deleted records are passed over unless `includeDeleted`.
///
/// With a layout the scan runs over the name blob's bytes with vector compares and maps each
/// hit back to its record through the layout, touching only the records of hits. Without
/// (null), it goes name by name. Both give the same result.
void scanRange(const IndexStore& store, std::uint32_t begin, std::uint32_t end,
               std::string_view foldedNeedle, const NameLayout* layout, bool includeDeleted,
               std::vector<Match>& out);

/// Whether the widest vector search (AVX2) is in use on this processor.
bool usesAvx2();

} // namespace SubstringScan

} // namespace ulmaro
