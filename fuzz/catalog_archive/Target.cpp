// Catalog archives: any bytes unpack into a checked catalog or are refused as an ArchiveError;
// a refused archive leaves nothing behind, and an accepted one is a safe description over a
// tree of plain names. An input that is not a zip (no "PK" first) is the pair of members
// instead, "info.json" NUL "index.bin", packed here by the exporter's zip writer with the
// index's checksum set to its bytes' own: members mutated inside a zip fail its CRC, and the
// checks behind it would never be reached.

#include "FuzzSupport.h"
#include "IndexChecksum.h"
#include "UlmaroKit/Catalogs/CatalogArchive.h"
#include "UlmaroKit/Index/IndexStore.h"

#include <algorithm>
#include <filesystem>

using namespace ulmaro;
namespace fs = std::filesystem;

namespace {

fs::path archiveOf(std::span<const std::uint8_t> input) {
    if (input.size() >= 2 && input[0] == 'P' && input[1] == 'K')
        return fuzz::writeScratchFile("catalog.ulmarocatalog", input);
    const auto nul = std::find(input.begin(), input.end(), std::uint8_t{0});
    const auto split = static_cast<std::size_t>(nul - input.begin());
    fs::create_directories(fuzz::scratchFolder() / "members");
    fuzz::writeScratchFile("members/info.json", input.first(split));
    fuzz::writeScratchFile("members/index.bin",
                           fuzz::withOwnChecksum(input.subspan(std::min(split + 1, input.size()))));
    const fs::path archive = fuzz::scratchFolder() / "packed.ulmarocatalog";
    CatalogArchive::zipFolder(fuzz::scratchFolder() / "members", archive);
    return archive;
}

bool isPlainName(std::string_view name, bool efu) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == name.npos &&
           name.find('\0') == name.npos && !(efu && name.find('\n') != name.npos);
}

void checkAccepted(const CatalogArchive::Unpacked& unpacked, const fs::path& temporaryRoot) {
    fuzz::check(unpacked.directory.parent_path() == temporaryRoot,
                "an archive unpacked outside the temporary folder");
    fuzz::check(CatalogArchive::isSafe(unpacked.info), "an unsafe description was accepted");
    for (const char* name : {"index.bin", "info.json"})
        fuzz::check(fs::is_regular_file(fs::symlink_status(unpacked.directory / name)),
                    "a member is not a regular file");
    const IndexLoadOutcome outcome = loadIndex(unpacked.directory / "index.bin");
    fuzz::check(outcome.isLoaded(), "an accepted index does not load");
    const IndexStore& store = *outcome.store;
    const bool efu = unpacked.info.kind == CatalogInfo::Kind::efu;
    for (std::uint32_t id = 0; id < store.count(); ++id) {
        const FileRecord& record = store[id];
        if (record.parentID == FileRecord::rootParentID) {
            fuzz::check(efu || store.nameBytes(id).empty(), "a drive's top record has a name");
            continue;
        }
        fuzz::check(record.parentID < id, "a record comes before its parent");
        fuzz::check(isPlainName(store.nameBytes(id), efu),
                    "an accepted catalog holds a name no file system makes");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path temporaryRoot = fuzz::scratchFolder() / "Temporary";
    fs::create_directories(temporaryRoot);
    const fs::path archive = archiveOf({data, size});
    try {
        (void)CatalogArchive::listEntries(archive);
    } catch (const CatalogArchive::ArchiveError&) {
    }
    try {
        const auto unpacked = CatalogArchive::unpack(archive, temporaryRoot);
        checkAccepted(unpacked, temporaryRoot);
        fs::remove_all(unpacked.directory);
    } catch (const CatalogArchive::ArchiveError&) {
        fuzz::check(fs::is_empty(temporaryRoot), "a refused archive left files behind");
    }
    return 0;
}
