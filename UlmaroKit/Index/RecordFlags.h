#pragma once

#include <cstdint>

namespace ulmaro {

/// The flags byte of a record: an option set over u8. Bits 0x40 and 0x80 are never set.
struct RecordFlags {
    std::uint8_t rawValue = 0;

    static const RecordFlags isDirectory;
    static const RecordFlags isApp;
    static const RecordFlags isSymlink;
    static const RecordFlags isHidden;
    /// Readers that list entries pass over a deleted record.
    static const RecordFlags deleted;
    /// size and mtime hold the entry's real values.
    static const RecordFlags attrsFilled;

    constexpr bool isEmpty() const { return rawValue == 0; }
    constexpr bool contains(RecordFlags other) const {
        return (rawValue & other.rawValue) == other.rawValue;
    }
    constexpr void insert(RecordFlags other) { rawValue |= other.rawValue; }
    constexpr void remove(RecordFlags other) {
        rawValue = static_cast<std::uint8_t>(rawValue & ~other.rawValue);
    }
    constexpr bool isSubset(RecordFlags other) const { return (rawValue & ~other.rawValue) == 0; }
    constexpr bool isSuperset(RecordFlags other) const { return other.isSubset(*this); }
    constexpr bool isDisjoint(RecordFlags other) const { return (rawValue & other.rawValue) == 0; }

    friend constexpr RecordFlags operator|(RecordFlags a, RecordFlags b) {
        return {static_cast<std::uint8_t>(a.rawValue | b.rawValue)};
    }
    friend constexpr RecordFlags operator&(RecordFlags a, RecordFlags b) {
        return {static_cast<std::uint8_t>(a.rawValue & b.rawValue)};
    }
    friend constexpr RecordFlags operator^(RecordFlags a, RecordFlags b) {
        return {static_cast<std::uint8_t>(a.rawValue ^ b.rawValue)};
    }
    constexpr RecordFlags& operator|=(RecordFlags other) { return *this = *this | other; }
    constexpr RecordFlags& operator&=(RecordFlags other) { return *this = *this & other; }
    constexpr RecordFlags& operator^=(RecordFlags other) { return *this = *this ^ other; }
    friend constexpr bool operator==(RecordFlags, RecordFlags) = default;
};

inline constexpr RecordFlags RecordFlags::isDirectory{0x01};
inline constexpr RecordFlags RecordFlags::isApp{0x02};
inline constexpr RecordFlags RecordFlags::isSymlink{0x04};
inline constexpr RecordFlags RecordFlags::isHidden{0x08};
inline constexpr RecordFlags RecordFlags::deleted{0x10};
inline constexpr RecordFlags RecordFlags::attrsFilled{0x20};

} // namespace ulmaro
