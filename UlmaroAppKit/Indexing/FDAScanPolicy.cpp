#include "UlmaroAppKit/Indexing/FDAScanPolicy.h"

namespace ulmaro::FDAScanPolicy {

std::string scanRoot(bool, const std::filesystem::path&) {
    return "/";
}

ScanPolicy scanPolicy(bool fullDiskAccessGranted, const std::filesystem::path& homeDirectory,
                      bool indexSystemFolders) {
    if (fullDiskAccessGranted)
        return ScanPolicy::fullDisk(homeDirectory.native(), indexSystemFolders);
    return ScanPolicy::excludingTCCProtectedPaths(homeDirectory);
}

bool needsRescanAfterGrant(bool fullDiskAccessGranted, bool lastScanUsedFullDiskAccess,
                           bool indexExists) {
    return fullDiskAccessGranted && !lastScanUsedFullDiskAccess && indexExists;
}

void recordScanUsedFullDiskAccess(bool used, SettingsStore& settings) {
    settings.setBool(lastScanUsedKey, used);
}

bool lastScanUsedFullDiskAccess(const SettingsStore& settings) {
    return settings.boolValue(lastScanUsedKey).value_or(false);
}

} // namespace ulmaro::FDAScanPolicy
