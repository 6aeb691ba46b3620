#pragma once

#include "UlmaroKit/Search/Match.h"
#include "UlmaroKit/Search/MatchQuality.h"

#include <cstddef>
#include <cstdint>
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

/// Whether each record's name starts at or after the end of the previous record's name, as the
/// index writer lays them out. One parallel pass over the records; nothing is allocated.
bool namesInRecordOrder(const IndexStore& store, WorkerPool& pool);

/// When `namesInRecordOrder` holds for the store, the scan runs over the name blob's bytes with
/// vector compares and maps each hit back to its record, touching only the records near hits.
/// Otherwise it goes name by name. Both give the same result.
void scanRange(const IndexStore& store, std::uint32_t begin, std::uint32_t end,
               std::string_view foldedNeedle, bool namesInRecordOrder, bool includeDeleted,
               std::vector<Match>& out);

/// The byte of the folded needle that the fewest names hold, judged from a sample of the blob;
/// the earliest such byte on a tie. `foldedNeedle` must not be empty.
unsigned char rarestByte(std::string_view nameBlob, std::string_view foldedNeedle);

/// Appends, ascending, every record of [begin, end) whose name holds `foldedByte` (a letter
/// in either case), deleted or not: a prefilter for matches that need every needle byte. With
/// names in record order it scans the blob's bytes and maps hits to records as `scanRange`
/// does; otherwise it goes name by name.
void recordsHoldingByte(const IndexStore& store, std::uint32_t begin, std::uint32_t end,
                        unsigned char foldedByte, bool namesInRecordOrder,
                        std::vector<std::uint32_t>& out);

/// Whether the widest vector search (AVX2) is in use on this processor.
bool usesAvx2();

} // namespace SubstringScan

} // namespace ulmaro
