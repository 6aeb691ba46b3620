#include "UlmaroKit/Catalogs/CatalogScanner.h"

#include "UlmaroKit/Catalogs/CatalogStats.h"
#include "UlmaroKit/Catalogs/FolderSizes.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Platform/DataLocations.h"
#include "UlmaroKit/Scanning/DirectoryScanner.h"
#include "UlmaroKit/Scanning/ScanRootIdentity.h"

#include <limits>
#include <system_error>

namespace ulmaro {
namespace {

constexpr int seedDepth = 3;
constexpr double progressInterval = 0.1;

[[noreturn]] void fail(int error, const std::string& root) {
    throw std::system_error(error, std::generic_category(), root);
}

} // namespace

std::uint32_t CatalogScanner::rootRecordID(std::string_view root) {
    std::uint64_t pieces = 0;
    for (std::size_t at = 0; at < root.size();) {
        std::size_t end = std::min(root.find('/', at), root.size());
        if (end > at) ++pieces;
        at = end + 1;
    }
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(pieces, std::numeric_limits<std::uint32_t>::max()));
}

CatalogScanner::Outcome CatalogScanner::scan(std::string_view root, std::string_view volumeUUID,
                                             const std::filesystem::path& to,
                                             const ScanPolicy& policy,
                                             AttributeFiller::Appetite appetite,
                                             const std::function<bool()>& shouldContinue,
                                             const std::function<void(std::int64_t)>& onProgress) {
    const std::string path = DirectoryScanner::absoluteRoot(root);
    const std::uint32_t rootID = rootRecordID(path);
    const Outcome cancelled{0, 0, 0, rootID, true};

    const ScanRootIdentity identity = ScanRootIdentity::of(path);
    DirectoryScanner scanner(policy, seedDepth, progressInterval,
                             DataLocations::homeDirectory().string());
    ScanResult result = scanner.scan(path, 0, onProgress, shouldContinue);
    if (result.cancelled) return cancelled;
    if (result.rootError != 0) fail(result.rootError, path);

    IndexBuilder& builder = result.builder;
    AttributeFiller::fill(builder, shouldContinue, false, appetite);
    if (!shouldContinue()) return cancelled;
    identity.verify(path);

    FolderSizes::rollUp(builder);
    CatalogStats stats = CatalogStats::measure(builder, rootID);
    VolumeEntry volume{
        .uuid = std::string(volumeUUID), .mountPath = path, .lastEventID = 0, .isAvailable = true};
    IndexWriter::write(builder, std::span(&volume, 1), to);
    return {stats.fileCount, stats.folderCount, stats.totalBytes, rootID, false};
}

} // namespace ulmaro
