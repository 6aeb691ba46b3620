#pragma once

#include "UlmaroKit/Index/FastHash64.h"
#include "UlmaroKit/Index/FileRecord.h"
#include "UlmaroKit/Index/IndexError.h"
#include "UlmaroKit/Index/IndexHeader.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace ulmaro::fuzz {

/// The bytes of an index file with the header's checksum set to theirs. Mutated bytes never
/// carry their right checksum, and the record checks behind it would never be reached.
/// Bytes refused before the checksum is read come back as they are.
inline std::vector<std::uint8_t> withOwnChecksum(std::span<const std::uint8_t> input) {
    std::vector<std::uint8_t> bytes(input.begin(), input.end());
    if (bytes.size() < IndexHeader::byteSize) return bytes;
    try {
        IndexHeader header = IndexHeader::decode(bytes);
        const std::uint64_t covered =
            std::uint64_t{header.recordCount} * sizeof(FileRecord) + header.nameBlobLength;
        if (bytes.size() - IndexHeader::byteSize < covered) return bytes;
        header.checksum = FastHash64::hash(bytes.data() + IndexHeader::byteSize, covered);
        const auto encoded = header.encode();
        std::copy(encoded.begin(), encoded.end(), bytes.begin());
    } catch (const IndexError&) {
    }
    return bytes;
}

} // namespace ulmaro::fuzz
