#pragma once

#include "UlmaroKit/Scanning/MountedVolume.h"
#include "UlmaroKit/Scanning/ScanPolicy.h"

namespace ulmaro {

/// Which mounted volumes are drives a user may be offered to catalog; the drive prompt and
/// the first run's drive step ask the same. Pure.
struct DriveOffer {
    /// Not "/"; not a volume the main index already covers, that is one mounted outside the
    /// other-volume folders (`ScanPolicy::otherVolumeFolders`, or `folders` when given), as
    /// a /home partition is; and not an internal disk that cannot be removed.
    static bool isOfferable(const MountedVolume& volume,
                            const ScanPolicy::PathSet& folders = ScanPolicy::otherVolumeFolders());
};

} // namespace ulmaro
