#include "UlmaroKit/Index/IndexHeader.h"

#include "UlmaroKit/Index/IndexError.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <algorithm>
#include <cstring>

namespace ulmaro {
namespace {

// Field offsets of the header and of a volume slot.
constexpr std::size_t magicOffset = 0;
constexpr std::size_t versionOffset = 4;
constexpr std::size_t recordCountOffset = 8;
constexpr std::size_t blobLengthOffset = 12;
constexpr std::size_t checksumOffset = 16;
constexpr std::size_t volumeCountOffset = 24;
constexpr std::size_t completenessOffset = 28;
constexpr std::size_t volumeTableOffset = 32;
constexpr std::size_t slotUuid = 0;
constexpr std::size_t slotMountPath = 40;
constexpr std::size_t slotLastEventID = 296;
constexpr std::size_t slotIsAvailable = 304;

static_assert(volumeTableOffset + IndexHeader::maxVolumes * VolumeEntry::byteSize == 3776);

template <typename T>
void put(unsigned char* buffer, std::size_t offset, T value) {
    std::memcpy(buffer + offset, &value, sizeof value);
}

template <typename T>
T get(const unsigned char* buffer, std::size_t offset) {
    T value;
    std::memcpy(&value, buffer + offset, sizeof value);
    return value;
}

// The field's bytes up to its first 0 byte (all of them when there is none), repaired.
std::string readFixedString(const unsigned char* field, std::size_t size) {
    const auto* end = std::find(field, field + size, 0);
    return repairUtf8(
        {reinterpret_cast<const char*>(field), static_cast<std::size_t>(end - field)});
}

} // namespace

void IndexHeader::writeFixedString(std::span<unsigned char> buffer, std::string_view text,
                                   std::size_t offset, std::size_t fieldSize) {
    std::size_t length = std::min(text.size(), fieldSize - 1);
    std::memcpy(buffer.data() + offset, text.data(), length);
    buffer[offset + length] = 0;
}

std::array<unsigned char, IndexHeader::byteSize> IndexHeader::encode() const {
    std::array<unsigned char, byteSize> bytes{};
    unsigned char* b = bytes.data();
    std::size_t volumeCount = std::min(volumes.size(), maxVolumes);
    put<std::uint32_t>(b, magicOffset, magic);
    put<std::uint32_t>(b, versionOffset, formatVersion);
    put<std::uint32_t>(b, recordCountOffset, recordCount);
    put<std::uint32_t>(b, blobLengthOffset, nameBlobLength);
    put<std::uint64_t>(b, checksumOffset, checksum);
    put<std::uint32_t>(b, volumeCountOffset, static_cast<std::uint32_t>(volumeCount));
    put<std::uint8_t>(b, completenessOffset, static_cast<std::uint8_t>(attrsCompleteness));
    for (std::size_t i = 0; i < volumeCount; ++i) {
        const VolumeEntry& v = volumes[i];
        std::size_t slot = volumeTableOffset + i * VolumeEntry::byteSize;
        writeFixedString(bytes, v.uuid, slot + slotUuid, VolumeEntry::uuidFieldSize);
        writeFixedString(bytes, v.mountPath, slot + slotMountPath, VolumeEntry::pathFieldSize);
        put<std::uint64_t>(b, slot + slotLastEventID, v.lastEventID);
        put<std::uint8_t>(b, slot + slotIsAvailable, v.isAvailable ? 1 : 0);
    }
    return bytes;
}

std::array<unsigned char, IndexHeader::byteSize> IndexHeader::encodeChecked() const {
    if (volumes.size() > maxVolumes) throw IndexError::tooManyVolumes();
    return encode();
}

IndexHeader IndexHeader::decode(std::span<const unsigned char> bytes) {
    if (bytes.data() == nullptr || bytes.size() < byteSize) throw IndexError::truncated();
    const unsigned char* b = bytes.data();
    if (get<std::uint32_t>(b, magicOffset) != magic) throw IndexError::badMagic();
    auto version = get<std::uint32_t>(b, versionOffset);
    if (version != formatVersion) throw IndexError::versionMismatch(version, formatVersion);
    auto volumeCount = get<std::uint32_t>(b, volumeCountOffset);
    if (volumeCount > maxVolumes) throw IndexError::tooManyVolumes();

    IndexHeader header;
    header.recordCount = get<std::uint32_t>(b, recordCountOffset);
    header.nameBlobLength = get<std::uint32_t>(b, blobLengthOffset);
    header.checksum = get<std::uint64_t>(b, checksumOffset);
    header.volumes.reserve(volumeCount);
    for (std::size_t i = 0; i < volumeCount; ++i) {
        const unsigned char* slot = b + volumeTableOffset + i * VolumeEntry::byteSize;
        header.volumes.push_back({
            .uuid = readFixedString(slot + slotUuid, VolumeEntry::uuidFieldSize),
            .mountPath = readFixedString(slot + slotMountPath, VolumeEntry::pathFieldSize),
            .lastEventID = get<std::uint64_t>(slot, slotLastEventID),
            .isAvailable = slot[slotIsAvailable] == 1,
        });
    }
    switch (b[completenessOffset]) {
    case 1:
        header.attrsCompleteness = AttrsCompleteness::partial;
        break;
    case 2:
        header.attrsCompleteness = AttrsCompleteness::complete;
        break;
    default:
        header.attrsCompleteness = AttrsCompleteness::none;
        break;
    }
    return header;
}

} // namespace ulmaro
