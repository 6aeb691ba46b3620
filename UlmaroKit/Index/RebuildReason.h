#pragma once

#include <cstdint>

namespace ulmaro {

/// Why an index must be rebuilt instead of loaded.
struct RebuildReason {
    enum class Kind {
        /// Another format version (`found`, `expected`).
        versionMismatch,
        /// No file at the location.
        missing,
        /// The checksum does not match, a record points outside the file, or opening failed
        /// for another reason.
        corrupt,
        /// Shorter than its header requires, or it could not be opened, sized or mapped.
        truncated,
        /// Not an index file.
        badMagic,
        /// The header claims more than 12 volumes.
        tooManyVolumes
    };

    Kind kind = Kind::missing;
    std::uint32_t found = 0;
    std::uint32_t expected = 0;

    static RebuildReason versionMismatch(std::uint32_t found, std::uint32_t expected) {
        return {Kind::versionMismatch, found, expected};
    }
    static RebuildReason missing() { return {Kind::missing}; }
    static RebuildReason corrupt() { return {Kind::corrupt}; }
    static RebuildReason truncated() { return {Kind::truncated}; }
    static RebuildReason badMagic() { return {Kind::badMagic}; }
    static RebuildReason tooManyVolumes() { return {Kind::tooManyVolumes}; }

    friend bool operator==(const RebuildReason&, const RebuildReason&) = default;
};

} // namespace ulmaro
