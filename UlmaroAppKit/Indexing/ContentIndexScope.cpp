#include "UlmaroAppKit/Indexing/ContentIndexScope.h"

#include "UlmaroKit/Scanning/ScanPolicy.h"

namespace ulmaro::ContentIndexScope {

std::vector<std::string> readableFolders(const std::vector<std::string>& folders,
                                         bool fullDiskAccessGranted,
                                         const std::filesystem::path& homeDirectory) {
    if (fullDiskAccessGranted) return folders;
    const ScanPolicy policy = ScanPolicy::excludingTCCProtectedPaths(homeDirectory);
    std::vector<std::string> readable;
    for (const std::string& folder : folders)
        if (!policy.isExcluded(folder)) readable.push_back(folder);
    return readable;
}

} // namespace ulmaro::ContentIndexScope
