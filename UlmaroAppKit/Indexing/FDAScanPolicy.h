#pragma once

#include "UlmaroAppKit/Platform/SettingsStore.h"
#include "UlmaroKit/Scanning/ScanPolicy.h"

#include <filesystem>
#include <string>

namespace ulmaro {

/// The main index's scan with and without the access permission, and whether the last full
/// scan had it, so that a grant made later brings a fresh scan.
namespace FDAScanPolicy {

inline constexpr const char* lastScanUsedKey = "app.ulmaro.lastScanUsedFullDiskAccess";

/// "/", granted or not.
std::string scanRoot(bool fullDiskAccessGranted, const std::filesystem::path& homeDirectory);

/// Granted: the full-disk policy, with the system folders when `indexSystemFolders`.
/// Otherwise the policy that leaves the protected places out (`indexSystemFolders` unused).
ScanPolicy scanPolicy(bool fullDiskAccessGranted, const std::filesystem::path& homeDirectory,
                      bool indexSystemFolders);

/// Access is granted now, the last scan ran without it, and an index exists.
bool needsRescanAfterGrant(bool fullDiskAccessGranted, bool lastScanUsedFullDiskAccess,
                           bool indexExists);

void recordScanUsedFullDiskAccess(bool used, SettingsStore& settings);
/// False when never recorded.
bool lastScanUsedFullDiskAccess(const SettingsStore& settings);

} // namespace FDAScanPolicy
} // namespace ulmaro
