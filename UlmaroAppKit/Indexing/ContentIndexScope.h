#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ulmaro {

/// Which of the chosen content folders the document-text index may read.
namespace ContentIndexScope {

/// All of them with the access permission; without it, in their order, those outside the
/// protected places of `homeDirectory`.
std::vector<std::string> readableFolders(const std::vector<std::string>& folders,
                                         bool fullDiskAccessGranted,
                                         const std::filesystem::path& homeDirectory);

} // namespace ContentIndexScope
} // namespace ulmaro
