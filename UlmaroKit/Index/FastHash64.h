#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace ulmaro {

/// The system's 64-bit non-cryptographic hash. It checksums index files, so every value
/// is fixed bit for bit: it is shaped like XXH64 (four lanes over 32-byte stripes) but is
/// not XXH64 and must never be swapped for it.
struct FastHash64 {
    static constexpr std::uint64_t seed = 0x0123456789ABCDEFull;
    static constexpr std::uint64_t p1 = 0x9E3779B185EBCA87ull;
    static constexpr std::uint64_t p2 = 0xC2B2AE3D27D4EB4Full;
    static constexpr std::uint64_t p3 = 0x165667B19E3779F9ull;
    static constexpr std::uint64_t p4 = 0x85EBCA77C2B2AE63ull;

    static std::uint64_t hash(std::span<const unsigned char> bytes);
    /// A null `data` counts as no bytes.
    static std::uint64_t hash(const void* data, std::size_t size);
    static std::uint64_t hash(std::string_view bytes) { return hash(bytes.data(), bytes.size()); }

    /// The same hash fed in pieces: any split of the bytes gives the one-shot value.
    /// A plain value; copies go on independently.
    class Rolling {
    public:
        void update(std::span<const unsigned char> bytes) { update(bytes.data(), bytes.size()); }
        /// A null or empty buffer changes nothing.
        void update(const void* data, std::size_t size);
        /// The hash of everything fed so far; feeding may go on afterwards.
        std::uint64_t finish() const;

        std::int64_t total() const { return total_; }

    private:
        std::uint64_t l1_ = seed + p1 + p2;
        std::uint64_t l2_ = seed + p2;
        std::uint64_t l3_ = seed;
        std::uint64_t l4_ = seed - p1;
        std::array<unsigned char, 32> pending_{};
        std::size_t pendingCount_ = 0;
        std::int64_t total_ = 0;
    };
};

} // namespace ulmaro
