// The content index ("content.bin"): any bytes read as an index (a damaged one as empty), every
// document's range lies in the blob, searches stay within it, and what is read is written and
// read back unchanged. An input that starts with "[" is the table alone, NUL, then the blob,
// framed here with its length: mutations that insert or erase would otherwise break the length
// and never reach the table's decoding.

#include "FuzzSupport.h"
#include "UlmaroKit/Content/ContentIndex.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace ulmaro;

namespace {

std::vector<std::uint8_t> contentFile(std::span<const std::uint8_t> input) {
    if (input.empty() || input[0] != '[') return {input.begin(), input.end()};
    const auto nul = std::find(input.begin(), input.end(), std::uint8_t{0});
    const auto n = static_cast<std::uint32_t>(nul - input.begin());
    std::vector<std::uint8_t> file = {
        static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
        static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
    file.insert(file.end(), input.begin(), nul);
    if (nul != input.end()) file.insert(file.end(), nul + 1, input.end());
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ContentIndex index =
        ContentIndex::read(fuzz::writeScratchFile("content.bin", contentFile({data, size})));
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
