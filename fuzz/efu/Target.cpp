// EFU file lists: any bytes import as a tree or are refused as an EFUError. The tree's parents
// come before their children, names are plain, and the index written from it loads.

#include "FuzzSupport.h"
#include "UlmaroKit/Catalogs/EFUImporter.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"

using namespace ulmaro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::optional<EFUImporter::Result> result;
    try {
        result = EFUImporter::build({data, size});
    } catch (const EFUImporter::EFUError&) {
        return 0;
    }
    const IndexBuilder& builder = result->builder;
    std::int64_t folders = 0;
    for (std::uint32_t id = 0; id < builder.count(); ++id) {
        const FileRecord& record = builder.records[id];
        fuzz::check(record.parentID == FileRecord::rootParentID || record.parentID < id,
                    "a record comes before its parent");
        if (record.parentID != FileRecord::rootParentID)
            fuzz::check(builder.records[record.parentID].flags.contains(RecordFlags::isDirectory),
                        "a record's parent is not a folder");
        const std::string_view name = builder.nameBytes(id);
        fuzz::check(!name.empty() && name != "." && name != "..", "an empty or dot name");
        fuzz::check(record.parentID == FileRecord::rootParentID || name.find('/') == name.npos,
                    "a name below the top holds a slash");
        if (record.flags.contains(RecordFlags::isDirectory)) ++folders;
    }
    fuzz::check(result->stats.fileCount + folders == static_cast<std::int64_t>(builder.count()),
                "the counts do not add up to the records");

    const auto path = fuzz::scratchFolder() / "efu.bin";
    const VolumeEntry volume{
        .uuid = "efu", .mountPath = "", .lastEventID = 0, .isAvailable = false};
    IndexWriter::write(builder, {&volume, 1}, path);
    const IndexLoadOutcome outcome = loadIndex(path);
    fuzz::check(outcome.isLoaded() && outcome.store->count() == builder.count(),
                "the imported tree does not load as an index");
    return 0;
}
