#pragma once

// The steps of FastHash64, shared by the one-shot form, Rolling, and the index store's
// pass that hashes and checks records in one sweep. Internal to the Index module.

#include "UlmaroKit/Index/FastHash64.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace ulmaro::fasthash {

inline std::uint64_t load64(const unsigned char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w); // unaligned, little-endian (asserted in FileRecord.h)
    return w;
}

inline std::uint64_t mix(std::uint64_t acc, std::uint64_t w) {
    return std::rotl(acc + w * FastHash64::p2, 31) * FastHash64::p1;
}

struct Lanes {
    std::uint64_t l1 = FastHash64::seed + FastHash64::p1 + FastHash64::p2;
    std::uint64_t l2 = FastHash64::seed + FastHash64::p2;
    std::uint64_t l3 = FastHash64::seed;
    std::uint64_t l4 = FastHash64::seed - FastHash64::p1;
};

/// Consumes `stripes` whole 32-byte stripes. The lanes live in locals so that the compiler
/// keeps them in registers across the loop.
inline void consumeStripes(Lanes& lanes, const unsigned char* p, std::size_t stripes) {
    std::uint64_t l1 = lanes.l1, l2 = lanes.l2, l3 = lanes.l3, l4 = lanes.l4;
    for (std::size_t i = 0; i < stripes; ++i, p += 32) {
        l1 = mix(l1, load64(p));
        l2 = mix(l2, load64(p + 8));
        l3 = mix(l3, load64(p + 16));
        l4 = mix(l4, load64(p + 24));
    }
    lanes = {l1, l2, l3, l4};
}

/// Combination, the word and byte steps over the last (n mod 32) bytes, and the avalanche.
inline std::uint64_t finish(const Lanes& lanes, std::uint64_t totalLength,
                            const unsigned char* tail, std::size_t tailLength) {
    std::uint64_t h = std::rotl(lanes.l1, 1) + std::rotl(lanes.l2, 7) + std::rotl(lanes.l3, 12) +
                      std::rotl(lanes.l4, 18) + totalLength * FastHash64::p4;
    std::size_t i = 0;
    for (; i + 8 <= tailLength; i += 8)
        h = mix(h, load64(tail + i));
    for (; i < tailLength; ++i)
        h = std::rotl(h ^ (std::uint64_t{tail[i]} * FastHash64::p3), 11) * FastHash64::p1;
    h ^= h >> 33;
    h *= FastHash64::p2;
    h ^= h >> 29;
    h *= FastHash64::p3;
    h ^= h >> 32;
    return h;
}

} // namespace ulmaro::fasthash
