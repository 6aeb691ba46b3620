#pragma once

#include <cstdint>
#include <string>

namespace ulmaro {

/// Where the change stream stood: its last event ID and the device it came from, so that
/// watching resumes there after a restart, on the same device only.
struct WatchCheckpoint {
    std::uint64_t eventID = 0;
    std::string deviceUUID;

    friend bool operator==(const WatchCheckpoint&, const WatchCheckpoint&) = default;
};

} // namespace ulmaro
