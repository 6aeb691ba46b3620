// Catalog archives: any bytes unpack into a checked catalog or are refused as an ArchiveError,
// and a refused archive leaves nothing behind.

#include "FuzzSupport.h"
#include "UlmaroKit/Catalogs/CatalogArchive.h"

#include <filesystem>

using namespace ulmaro;
namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path archive = fuzz::writeScratchFile("catalog.ulmarocatalog", {data, size});
    const fs::path temporaryRoot = fuzz::scratchFolder() / "Temporary";
    fs::create_directories(temporaryRoot);
    try {
        (void)CatalogArchive::listEntries(archive);
    } catch (const CatalogArchive::ArchiveError&) {
    }
    try {
        const auto unpacked = CatalogArchive::unpack(archive, temporaryRoot);
        fuzz::check(unpacked.directory.parent_path() == temporaryRoot,
                    "an archive unpacked outside the temporary folder");
        fuzz::check(CatalogArchive::isSafe(unpacked.info), "an unsafe description was accepted");
        for (const char* name : {"index.bin", "info.json"})
            fuzz::check(fs::is_regular_file(fs::symlink_status(unpacked.directory / name)),
                        "a member is not a regular file");
        fs::remove_all(unpacked.directory);
    } catch (const CatalogArchive::ArchiveError&) {
        fuzz::check(fs::is_empty(temporaryRoot), "a refused archive left files behind");
    }
    return 0;
}
