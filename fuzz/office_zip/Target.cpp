// Office documents: any bytes read as a zip give the entries that could be read, within the
// caps on what one entry and one archive may make us inflate or copy; their text is UTF-8.

#include "FuzzSupport.h"
#include "UlmaroKit/Content/DocumentText.h"
#include "UlmaroKit/Content/ZipReader.h"
#include "UlmaroKit/Platform/Utf8.h"

using namespace ulmaro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const auto entries = ZipReader::entries(bytes, [](std::string_view) { return true; });
    std::uint64_t total = 0;
    for (const auto& entry : entries) {
        fuzz::check(entry.data.size() <= ZipReader::maxEntryBytes, "an entry past its cap");
        total += entry.data.size();
        fuzz::check(isValidUtf8(entry.name), "an entry name that is not UTF-8");
        fuzz::check(isValidUtf8(DocumentText::textFromXML(entry.data)),
                    "text from XML that is not UTF-8");
        fuzz::check(isValidUtf8(DocumentText::printableRuns(entry.data, 4)),
                    "printable runs that are not UTF-8");
    }
    fuzz::check(total <= ZipReader::maxTotalBytes, "an archive past its cap");

    // The same bytes as a bare DEFLATE stream.
    constexpr std::uint64_t expected = 65536;
    if (auto inflated = ZipReader::rawInflate(bytes, expected))
        fuzz::check(!inflated->empty() && inflated->size() <= expected,
                    "inflated more than asked for");
    return 0;
}
