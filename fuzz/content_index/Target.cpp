// The content index ("content.bin"): any bytes read as an index (a damaged one as empty), every
// document's range lies in the blob, searches stay within it, and what is read is written and
// read back unchanged.

#include "FuzzSupport.h"
#include "UlmaroKit/Content/ContentIndex.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <string>

using namespace ulmaro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ContentIndex index =
        ContentIndex::read(fuzz::writeScratchFile("content.bin", {data, size}));
    const auto blobSize = static_cast<std::int64_t>(index.blob().size());
    for (const auto& document : index.documents()) {
        fuzz::check(document.offset >= 0 && document.length >= 0 && document.offset <= blobSize &&
                        document.length <= blobSize - document.offset,
                    "a document's range leaves the blob");
    }

    // Needles that occur: the start of each document's text, and one that is everywhere.
    std::vector<std::string> needles = {"e"};
    for (std::size_t i = 0; i < index.documents().size() && i < 4; ++i) {
        const auto& document = index.documents()[i];
        const auto* start = index.blob().data() + document.offset;
        needles.emplace_back(start, start + std::min<std::int64_t>(document.length, 3));
    }
    for (const auto& needle : needles) {
        const auto results = index.searchAll(needle, 8);
        fuzz::check(results.hits.size() <= 8, "more hits than the limit");
        for (const auto& hit : results.hits)
            fuzz::check(hit.line >= 1 && isValidUtf8(hit.preview), "a hit without a line or text");
    }

    const auto again = fuzz::scratchFolder() / "content-again.bin";
    index.write(again);
    const ContentIndex reread = ContentIndex::read(again);
    fuzz::check(reread.documents() == index.documents() && reread.blob() == index.blob(),
                "a content index read back differs from the one written");
    return 0;
}
