#pragma once

#include "UlmaroKit/Index/IndexBuilder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ulmaro {

/// What a directory scan returns.
struct ScanResult {
    /// The records and names found, root chain first.
    IndexBuilder builder;
    /// Entries recorded by the walk (the root chain not counted).
    std::int64_t entriesScanned = 0;
    /// Folders that could not be opened or read to the end, for any reason.
    std::int64_t directoriesDenied = 0;
    /// Of those, the ones inside the home folder that failed with EPERM.
    std::int64_t directoriesDeniedInHome = 0;
    /// The first `DirectoryScanner::deniedSampleCap` of those, in record order.
    std::vector<std::string> deniedPathsInHome;
    /// Wall time of the whole scan, in seconds.
    double duration = 0;
    /// The keep-going callback said stop; the builder holds what was read until then.
    bool cancelled = false;
    /// The errno of the scan root when it could not be opened or read, else 0. A result
    /// with a root error describes nothing about the tree and must not replace an index.
    int rootError = 0;
};

} // namespace ulmaro
