#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// The folders that cloud-storage services keep in sync in the home folder, with a
/// readable name for each, for the settings to offer.
namespace CloudFolders {

struct Folder {
    /// Readable, for display.
    std::string name;
    /// Absolute, raw bytes.
    std::string path;

    friend bool operator==(const Folder&, const Folder&) = default;
};

/// The provider folders under "Library/CloudStorage" (sorted, hidden ones skipped), then
/// "Dropbox", "Google Drive" and "OneDrive" directly in the home folder, then the iCloud
/// Drive folder: each that is a folder (links followed), each path once. Never fails: what
/// cannot be read is left out.
std::vector<Folder> detected(std::string_view home);

/// "GoogleDrive-Work" → "Google Drive (Work)", "OneDrive-OneDrive-Team" → "OneDrive (Team)",
/// "Box" → "Box", "Acme-Work" → "Acme (Work)".
std::string displayName(std::string_view folderName);

} // namespace CloudFolders

} // namespace ulmaro
