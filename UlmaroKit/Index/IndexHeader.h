#pragma once

#include "UlmaroKit/Index/AttrsCompleteness.h"
#include "UlmaroKit/Index/FormatVersion.h"
#include "UlmaroKit/Index/VolumeEntry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace ulmaro {

/// The 4096-byte header of an index file. The magic and the version are not fields: they
/// are written from the constants and verified on decoding.
struct IndexHeader {
    static constexpr std::size_t byteSize = 4096;
    static constexpr std::uint32_t magic = 0x4C555231;
    static constexpr std::size_t maxVolumes = 12;

    std::uint32_t recordCount = 0;
    std::uint32_t nameBlobLength = 0;
    /// FastHash64 of the record array followed by the name blob.
    std::uint64_t checksum = 0;
    std::vector<VolumeEntry> volumes;
    AttrsCompleteness attrsCompleteness = AttrsCompleteness::none;

    /// Writes at most `maxVolumes` volumes (the rest are dropped).
    std::array<unsigned char, byteSize> encode() const;
    /// Throws IndexError::tooManyVolumes for more than `maxVolumes` volumes.
    std::array<unsigned char, byteSize> encodeChecked() const;
    /// Throws IndexError: truncated, badMagic, versionMismatch, tooManyVolumes (in that order).
    static IndexHeader decode(std::span<const unsigned char> bytes);

    /// Copies at most fieldSize − 1 bytes of `text` (cut at a byte count) to
    /// buffer[offset...] followed by a 0 byte. `fieldSize` is at least 1.
    static void writeFixedString(std::span<unsigned char> buffer, std::string_view text,
                                 std::size_t offset, std::size_t fieldSize);

    friend bool operator==(const IndexHeader&, const IndexHeader&) = default;
};

} // namespace ulmaro
