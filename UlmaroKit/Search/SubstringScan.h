#pragma once

#include "UlmaroKit/Search/Match.h"
#include "UlmaroKit/Search/MatchQuality.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

class IndexStore;

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

/// When the store's names are in record order, the scan runs over the name blob's bytes with
/// vector compares and maps each hit back to its record, touching only the records near hits.
/// Otherwise it goes name by name. Both give the same result.
void scanRange(const IndexStore& store, std::uint32_t begin, std::uint32_t end,
               std::string_view foldedNeedle, bool namesInRecordOrder, bool includeDeleted,
               std::vector<Match>& out);

/// The distinct bytes of a folded needle, rarest first as judged from a sample of the name blob
/// (query order on a tie): a prefilter for matches that need every needle byte in the name.
class NeedleBytes {
public:
    /// `foldedNeedle` holds 1 to 32 bytes.
    NeedleBytes(std::string_view nameBlob, std::string_view foldedNeedle);

    unsigned char rarest() const { return bytes_[0]; }
    std::span<const unsigned char> bytes() const { return {bytes_.data(), count_}; }
    /// Whether `name` holds every one of the bytes (a letter in either case). `readable` bytes
    /// from the name's start may be read (at least its size; more, up to the end of the blob,
    /// lets whole 16-byte blocks be loaded in place).
    bool allIn(std::string_view name, std::size_t readable) const;

private:
    std::array<unsigned char, 32> bytes_{};
    std::size_t count_ = 0;
    // Each byte and its OR mask, spread over 16 lanes for the vector compare.
    alignas(16) std::array<unsigned char, 16 * 32> wanted_{};
    alignas(16) std::array<unsigned char, 16 * 32> orMasks_{};
};

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
