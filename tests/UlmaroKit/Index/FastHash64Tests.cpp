#include "UlmaroKit/Index/FastHash64.h"

#include <bit>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace ulmaro {
namespace {

// The algorithm transcribed step by step, byte by byte, without any of the shortcuts of the
// real loop: it anchors the stripe path, which the published reference values never reach.
std::uint64_t plainHash(const std::vector<unsigned char>& bytes) {
    constexpr std::uint64_t p1 = 0x9E3779B185EBCA87ull, p2 = 0xC2B2AE3D27D4EB4Full,
                            p3 = 0x165667B19E3779F9ull, p4 = 0x85EBCA77C2B2AE63ull;
    auto word = [&](std::size_t at) {
        std::uint64_t w = 0;
        for (int k = 7; k >= 0; --k)
            w = (w << 8) | bytes[at + static_cast<std::size_t>(k)];
        return w;
    };
    auto mix = [&](std::uint64_t acc, std::uint64_t w) { return std::rotl(acc + w * p2, 31) * p1; };
    std::uint64_t lane[4] = {0x620D6D56376C83C5ull, 0xC3D5F3A4B180B93Eull, 0x0123456789ABCDEFull,
                             0x62EBCBB603C00368ull};
    std::size_t n = bytes.size(), i = 0;
    for (; i + 32 <= n; i += 32)
        for (std::size_t k = 0; k < 4; ++k)
            lane[k] = mix(lane[k], word(i + 8 * k));
    std::uint64_t h = std::rotl(lane[0], 1) + std::rotl(lane[1], 7) + std::rotl(lane[2], 12) +
                      std::rotl(lane[3], 18) + n * p4;
    for (; i + 8 <= n; i += 8)
        h = mix(h, word(i));
    for (; i < n; ++i)
        h = std::rotl(h ^ (bytes[i] * p3), 11) * p1;
    h = (h ^ (h >> 33)) * p2;
    h = (h ^ (h >> 29)) * p3;
    return h ^ (h >> 32);
}

std::vector<unsigned char> sampleBytes(std::size_t n) {
    std::vector<unsigned char> bytes(n);
    std::uint32_t x = 2463534242u;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<unsigned char>(x);
    }
    return bytes;
}

TEST(FastHash64, ReferenceValues) {
    EXPECT_EQ(FastHash64::hash(nullptr, 0), 0x8E4B63091ED84BCDull);
    EXPECT_EQ(FastHash64::hash(nullptr, 5), 0x8E4B63091ED84BCDull); // an absent start is no bytes
    EXPECT_EQ(FastHash64::hash(std::span<const unsigned char>{}), 0x8E4B63091ED84BCDull);
    EXPECT_EQ(FastHash64::hash(std::string_view("abc")), 0xEFA46C530CE0A1C4ull);
    EXPECT_EQ(FastHash64::Rolling().finish(), 0x8E4B63091ED84BCDull);
}

TEST(FastHash64, MatchesTheStepByStepAlgorithmAtEveryLengthAroundStripes) {
    auto all = sampleBytes(200);
    for (std::size_t n = 0; n <= all.size(); ++n) {
        std::vector<unsigned char> bytes(all.begin(), all.begin() + static_cast<long>(n));
        ASSERT_EQ(FastHash64::hash(bytes), plainHash(bytes)) << "length " << n;
    }
    // Unaligned input gives the value of the same bytes anywhere.
    EXPECT_EQ(FastHash64::hash(all.data() + 3, 100),
              plainHash({all.begin() + 3, all.begin() + 103}));
}

TEST(FastHash64, RollingGivesTheOneShotValueForAnySplit) {
    auto bytes = sampleBytes(1000);
    const std::uint64_t expected = FastHash64::hash(bytes);
    for (std::size_t piece : {1, 7, 31, 32, 33, 64, 999, 1000}) {
        FastHash64::Rolling rolling;
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            rolling.update(bytes.data() + at, std::min(piece, bytes.size() - at));
            rolling.update(nullptr, 0); // empty pieces in between change nothing
            rolling.update(bytes.data(), 0);
        }
        EXPECT_EQ(rolling.finish(), expected) << "pieces of " << piece;
        EXPECT_EQ(rolling.total(), 1000);
    }
}

TEST(FastHash64, FinishLeavesTheStateAndCopiesGoOnIndependently) {
    auto bytes = sampleBytes(77);
    FastHash64::Rolling rolling;
    rolling.update(bytes.data(), 40);
    const std::uint64_t first = rolling.finish();
    EXPECT_EQ(rolling.finish(), first);
    EXPECT_EQ(first, FastHash64::hash(bytes.data(), 40));

    FastHash64::Rolling copy = rolling;
    rolling.update(bytes.data() + 40, 37);
    EXPECT_EQ(rolling.finish(), FastHash64::hash(bytes));
    EXPECT_EQ(copy.finish(), first);
}

} // namespace
} // namespace ulmaro
