#include "UlmaroKit/Index/IndexStore.h"

#include "UlmaroKit/Index/FastHash64Core.h"
#include "UlmaroKit/Index/IndexError.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <system_error>

namespace ulmaro {
namespace {

struct PassResult {
    std::uint64_t checksum;
    bool recordsValid;
};

// What the sweep keeps of the records it checks: the largest parentID + 1 (wrapping in 32
// bits, so that 0xFFFFFFFF, "no parent", counts as 0) and the largest name end. A file is
// sound when the first is at most the record count and the second at most the blob length.
// Maxima need no branch and no limit inside the loop, which leaves registers for the hash.
struct RecordBounds {
    std::uint64_t parentPlusOne = 0;
    std::uint64_t nameEnd = 0;

    // A record's first word holds parentID and nameOffset; its third holds nameLen at bit 32.
    void note(std::uint64_t word0, std::uint64_t word2) {
        parentPlusOne = std::max(parentPlusOne, (word0 + 1) & 0xFFFFFFFF);
        nameEnd = std::max(nameEnd, (word0 >> 32) + ((word2 >> 32) & 0xFF));
    }
};

// One sweep over records and names: hashes them and checks every record as it goes. Four
// records are exactly three stripes, so each word is loaded once and serves both.
PassResult hashAndCheck(const unsigned char* data, std::uint64_t count, std::uint64_t blobLength) {
    using fasthash::load64;
    using fasthash::mix;
    const std::uint64_t total = count * sizeof(FileRecord) + blobLength;
    fasthash::Lanes lanes;
    std::uint64_t l1 = lanes.l1, l2 = lanes.l2, l3 = lanes.l3, l4 = lanes.l4;
    RecordBounds bounds;
    const unsigned char* p = data;
    const unsigned char* const groupsEnd = data + count / 4 * 96;
    struct Stripe {
        std::uint64_t w0, w1, w2, w3;
    };
    auto consume = [&](const unsigned char* at) {
        Stripe s{load64(at), load64(at + 8), load64(at + 16), load64(at + 24)};
        l1 = mix(l1, s.w0);
        l2 = mix(l2, s.w1);
        l3 = mix(l3, s.w2);
        l4 = mix(l4, s.w3);
        return s;
    };
    for (; p != groupsEnd; p += 96) {
        Stripe a = consume(p);
        bounds.note(a.w0, a.w2); // record 0: words 0 and 2 of the group
        Stripe b = consume(p + 32);
        bounds.note(a.w3, b.w1); // record 1: words 3 and 5
        Stripe c = consume(p + 64);
        bounds.note(b.w2, c.w0); // record 2: words 6 and 8
        bounds.note(c.w1, c.w3); // record 3: words 9 and 11
    }
    for (; p != data + count * sizeof(FileRecord); p += sizeof(FileRecord))
        bounds.note(load64(p), load64(p + 16));
    p = groupsEnd;
    lanes = {l1, l2, l3, l4};
    // The rest (up to three records, then the names) continues the same stripe sequence.
    std::uint64_t rest = total - static_cast<std::uint64_t>(groupsEnd - data);
    fasthash::consumeStripes(lanes, p, rest / 32);
    return {fasthash::finish(lanes, total, p + rest / 32 * 32, rest % 32),
            bounds.parentPlusOne <= count && bounds.nameEnd <= blobLength};
}

} // namespace

IndexStore::IndexStore(const std::filesystem::path& path) {
    try {
        // Every byte is hashed right away, so the page tables are built in one go.
        mapping_ = MappedFile::open(path, {.populate = true});
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
