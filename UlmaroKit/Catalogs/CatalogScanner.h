#pragma once

#include "UlmaroKit/Scanning/AttributeFiller.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

namespace ulmaro {

class ScanPolicy;

/// Turns a drive or a folder into a catalog index: walk, fill sizes and dates, roll folder
/// sizes up, count, write.
struct CatalogScanner {
    struct Outcome {
        /// The counts are 0 when cancelled.
        std::int64_t fileCount = 0;
        std::int64_t folderCount = 0;
        std::uint64_t totalBytes = 0;
        /// Set also when cancelled.
        std::uint32_t rootRecordID = 0;
        /// Stopped by `shouldContinue`; nothing was written.
        bool cancelled = false;

        friend bool operator==(const Outcome&, const Outcome&) = default;
    };

    /// Scans `root` and writes its catalog index to `to`, with one volume whose mount path
    /// is the scan root. Cancellation (during the walk or the fill) writes nothing.
    ///
    /// Throws std::system_error, writing nothing, when the root cannot be opened as a
    /// folder (its errno), or is gone (ENOENT) or is another folder or on another device
    /// (ENODEV) once the walk and fill are done — an unplugged drive must not replace a good
    /// catalog with an empty one. Throws what the index writer throws.
    static Outcome scan(std::string_view root, std::string_view volumeUUID,
                        const std::filesystem::path& to, const ScanPolicy& policy,
                        AttributeFiller::Appetite appetite,
                        const std::function<bool()>& shouldContinue,
                        const std::function<void(std::int64_t)>& onProgress = {});

    /// The record ID a scan gives the root itself: its number of path components ("/" is 0,
    /// "/media/Photos/" is 2).
    static std::uint32_t rootRecordID(std::string_view root);
};

} // namespace ulmaro
