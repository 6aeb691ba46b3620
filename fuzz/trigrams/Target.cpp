// The trigram cache ("trigrams.bin"): any bytes load or are refused, never trusted unchecked.
// A loaded cache answers lookups within its blocks and survives a write and a read unchanged.

#include "FuzzSupport.h"
#include "UlmaroKit/Search/TrigramIndex.h"

#include <algorithm>
#include <cstring>
#include <string>

using namespace ulmaro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A cache names the store it belongs to (checksum at byte 8, block count at byte 16);
    // load it for that store, so that it is refused only for what is wrong inside it.
    std::uint64_t checksum = 0;
    std::uint32_t blocks = 0;
    if (size >= 20) {
        std::memcpy(&checksum, data + 8, sizeof checksum);
        std::memcpy(&blocks, data + 16, sizeof blocks);
    }
    const auto recordCount = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(std::uint64_t{blocks} * TrigramIndex::blockSize, UINT32_MAX));

    const auto index = TrigramIndex::load(fuzz::writeScratchFile("trigrams.bin", {data, size}),
                                          checksum, recordCount);
    if (!index) return 0;
    fuzz::check(index->blockCount() == TrigramIndex::blockCountFor(recordCount),
                "a loaded cache describes another number of blocks");

    // Look up the needles made of the stored trigrams, one and two keys long.
    const auto& keys = index->keys();
    for (std::size_t i = 0; i < keys.size() && i < 64; ++i) {
        std::string needle;
        for (std::uint32_t k : {keys[i], i + 1 < keys.size() ? keys[i + 1] : keys[i]})
            needle += {static_cast<char>(k >> 16), static_cast<char>(k >> 8), static_cast<char>(k)};
        for (std::size_t length : {std::size_t{3}, std::size_t{6}}) {
            const auto found = index->candidateBlocks(std::string_view(needle).substr(0, length));
            if (!found) continue;
            fuzz::check(std::is_sorted(found->begin(), found->end()) &&
                            std::adjacent_find(found->begin(), found->end()) == found->end(),
                        "candidate blocks are not strictly ascending");
            fuzz::check(found->empty() || found->back() < index->blockCount(),
                        "a candidate block past the last block");
        }
    }

    const auto again = fuzz::scratchFolder() / "trigrams-again.bin";
    index->write(again, checksum);
    fuzz::check(TrigramIndex::load(again, checksum, recordCount) == index,
                "a cache read back differs from the one written");
    return 0;
}
