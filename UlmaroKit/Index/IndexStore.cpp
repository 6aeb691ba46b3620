#include "UlmaroKit/Index/IndexStore.h"

#include "UlmaroKit/Index/FastHash64Core.h"
#include "UlmaroKit/Index/IndexError.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <cerrno>
#include <sys/stat.h>
#include <system_error>

namespace ulmaro {
namespace {

// Whether a record's first and third words hold a parent and a name range that are safe
// to follow: the parent is 0xFFFFFFFF or below the count, and the name lies inside the
// blob. Branch-free, so that it folds into the hash loop's slack.
inline std::uint64_t badRecord(std::uint64_t word0, std::uint64_t word2, std::uint64_t count,
                               std::uint64_t blobLength) {
    std::uint64_t parent = word0 & 0xFFFFFFFF;
    std::uint64_t nameEnd = (word0 >> 32) + ((word2 >> 32) & 0xFF);
    return static_cast<std::uint64_t>((parent >= count) & (parent != FileRecord::rootParentID)) |
           static_cast<std::uint64_t>(nameEnd > blobLength);
}

struct PassResult {
    std::uint64_t checksum;
    bool recordsValid;
};

// One sweep over records and names: hashes them and checks every record as it goes. Four
// records are exactly three stripes, so each group's words are loaded once and serve both.
PassResult hashAndCheck(const unsigned char* data, std::uint64_t count, std::uint64_t blobLength) {
    using fasthash::load64;
    using fasthash::mix;
    const std::uint64_t total = count * sizeof(FileRecord) + blobLength;
    fasthash::Lanes lanes;
    std::uint64_t l1 = lanes.l1, l2 = lanes.l2, l3 = lanes.l3, l4 = lanes.l4;
    std::uint64_t bad = 0;
    const unsigned char* p = data;
    const std::uint64_t groups = count / 4;
    for (std::uint64_t g = 0; g < groups; ++g, p += 96) {
        std::uint64_t w0 = load64(p), w1 = load64(p + 8), w2 = load64(p + 16), w3 = load64(p + 24),
                      w4 = load64(p + 32), w5 = load64(p + 40), w6 = load64(p + 48),
                      w7 = load64(p + 56), w8 = load64(p + 64), w9 = load64(p + 72),
                      w10 = load64(p + 80), w11 = load64(p + 88);
        l1 = mix(l1, w0);
        l2 = mix(l2, w1);
        l3 = mix(l3, w2);
        l4 = mix(l4, w3);
        l1 = mix(l1, w4);
        l2 = mix(l2, w5);
        l3 = mix(l3, w6);
        l4 = mix(l4, w7);
        l1 = mix(l1, w8);
        l2 = mix(l2, w9);
        l3 = mix(l3, w10);
        l4 = mix(l4, w11);
        bad |= badRecord(w0, w2, count, blobLength) | badRecord(w3, w5, count, blobLength) |
               badRecord(w6, w8, count, blobLength) | badRecord(w9, w11, count, blobLength);
    }
    for (std::uint64_t i = groups * 4; i < count; ++i) {
        const unsigned char* r = data + i * sizeof(FileRecord);
        bad |= badRecord(load64(r), load64(r + 16), count, blobLength);
    }
    lanes = {l1, l2, l3, l4};
    // The rest (up to three records, then the names) continues the same stripe sequence.
    std::uint64_t rest = total - groups * 96;
    fasthash::consumeStripes(lanes, p, rest / 32);
    const unsigned char* tail = p + rest / 32 * 32;
    return {fasthash::finish(lanes, total, tail, rest % 32), bad == 0};
}

} // namespace

IndexStore::IndexStore(const std::filesystem::path& path) {
    try {
        mapping_ = MappedFile::open(path);
    } catch (const std::system_error&) {
        throw IndexError::truncated();
    }
    if (mapping_.size() < IndexHeader::byteSize) throw IndexError::truncated();
    header_ = IndexHeader::decode(mapping_.bytes());
    const std::uint64_t recordBytes = std::uint64_t{header_.recordCount} * sizeof(FileRecord);
    if (mapping_.size() - IndexHeader::byteSize < recordBytes + header_.nameBlobLength)
        throw IndexError::truncated();
    const unsigned char* start = mapping_.data() + IndexHeader::byteSize;
    PassResult pass = hashAndCheck(start, header_.recordCount, header_.nameBlobLength);
    // A record that points outside the file is damage like any other.
    if (pass.checksum != header_.checksum || !pass.recordsValid)
        throw IndexError::checksumMismatch();
    records_ = reinterpret_cast<const FileRecord*>(start);
    blob_ = reinterpret_cast<const char*>(start + recordBytes);
}

std::shared_ptr<const IndexStore> IndexStore::open(const std::filesystem::path& path) {
    return std::make_shared<const IndexStore>(path);
}

std::string IndexStore::name(std::uint32_t id) const {
    return repairUtf8(nameBytes(id));
}

IndexLoadOutcome loadIndex(const std::filesystem::path& path) noexcept {
    try {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR))
            return {nullptr, RebuildReason::missing()};
        return {IndexStore::open(path), {}};
    } catch (const IndexError& error) {
        switch (error.kind()) {
        case IndexError::Kind::versionMismatch:
            return {nullptr, RebuildReason::versionMismatch(error.found(), error.expected())};
        case IndexError::Kind::badMagic:
            return {nullptr, RebuildReason::badMagic()};
        case IndexError::Kind::checksumMismatch:
            return {nullptr, RebuildReason::corrupt()};
        case IndexError::Kind::truncated:
            return {nullptr, RebuildReason::truncated()};
        case IndexError::Kind::tooManyVolumes:
            return {nullptr, RebuildReason::tooManyVolumes()};
        }
    } catch (...) {
    }
    return {nullptr, RebuildReason::corrupt()};
}

} // namespace ulmaro
