#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ulmaro {

/// One slot of an index file's volume table.
struct VolumeEntry {
    /// The UUID `lu scan` records for the folder it scanned: a folder, not a volume.
    static constexpr const char* folderScanUUID = "local";
    static constexpr std::size_t uuidFieldSize = 40;
    static constexpr std::size_t pathFieldSize = 256;
    static constexpr std::size_t byteSize = 312;

    /// UTF-8; at most 39 bytes are stored.
    std::string uuid;
    /// UTF-8; at most 255 bytes are stored.
    std::string mountPath;
    std::uint64_t lastEventID = 0;
    bool isAvailable = false;

    friend bool operator==(const VolumeEntry&, const VolumeEntry&) = default;
};

} // namespace ulmaro
