#include "UlmaroAppKit/Catalogs/DriveOffer.h"

namespace ulmaro {

bool DriveOffer::isOfferable(const MountedVolume& volume, const ScanPolicy::PathSet& folders) {
    return !volume.isBootVolume() && !volume.isInternal &&
           ScanPolicy::isInOtherVolumeFolder(volume.mountPath, folders);
}

} // namespace ulmaro
