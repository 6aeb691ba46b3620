#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Platform/DataLocations.h"
#include "UlmaroKit/Scanning/DirectoryScanner.h"
#include "lu/Commands.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

namespace ulmaro::lu {

namespace {

int refuse(const std::string& root, int error) {
    std::fprintf(stderr, "Cannot scan %s: %s. The index was not changed.\n", root.c_str(),
                 std::strerror(error));
    return 1;
}

} // namespace

int runScan(const Invocation& invocation) {
    return runScan(invocation, [](const ScanRootIdentity& identity, const std::string& root) {
        return identity.recheck(root);
    });
}

int runScan(const Invocation& invocation, const RootRecheck& recheck) {
    const std::string home = DataLocations::homeDirectory().string();
    const std::string& given = invocation.args.empty() ? home : invocation.args[0];
    std::string root;
    try {
        // Relative roots are made absolute so every path the index resolves is real.
        root = DirectoryScanner::absoluteRoot(given);
    } catch (const std::exception& error) { // the working folder is gone
        std::fprintf(stderr, "Cannot scan %s: %s\n", given.c_str(), error.what());
        return 1;
    }
    std::printf("Scanning %s\u2026\n", root.c_str());
    std::fflush(stdout);
    ScanRootIdentity identity;
    try {
        identity = ScanRootIdentity::of(root);
    } catch (const std::system_error& error) {
        return refuse(root, error.code().value());
    }

    // Our own folders are never indexed.
    const ScanPolicy policy =
        ScanPolicy(ScanPolicy::defaultExclusions()).adding(ScanPolicy::ownFolders());
    const DirectoryScanner scanner(policy, 3, 0.1, home);
    ScanResult result;
    try {
        result = scanner.scan(root, 0);
    } catch (const std::exception& error) { // a tree past the format's limits, or no memory
        std::fprintf(stderr, "Cannot scan %s: %s. The index was not changed.\n", root.c_str(),
                     error.what());
        return 1;
    }
    // An unreadable root describes nothing, and neither does one that went away during the
    // walk (every later folder failed, or the folder beneath a mount was walked): the index
    // in place stays.
    if (result.rootError != 0) return refuse(root, result.rootError);
    if (int error = recheck(identity, root); error != 0) return refuse(root, error);

    const auto rate = static_cast<std::int64_t>(static_cast<double>(result.entriesScanned) /
                                                std::max(result.duration, 0.001));
    std::printf("  %" PRId64 " entries in %.2fs (%" PRId64 "/s), %" PRId64 " unreadable\n",
                result.entriesScanned, result.duration, rate, result.directoriesDenied);
    std::fflush(stdout);

    const VolumeEntry volumes[] = {{.uuid = VolumeEntry::folderScanUUID,
                                    .mountPath = root,
                                    .lastEventID = 0,
                                    .isAvailable = true}};
    try {
        std::filesystem::create_directories(invocation.indexPath.parent_path());
        IndexWriter::write(result.builder, volumes, invocation.indexPath);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Could not write %s: %s\n", invocation.indexPath.c_str(),
                     error.what());
        return 1;
    }
    std::printf("  written to %s\n", invocation.indexPath.c_str());
    return 0;
}

} // namespace ulmaro::lu
