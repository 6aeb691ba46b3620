#include "UlmaroKit/Index/IndexStore.h"

#include "UlmaroKit/Index/FastHash64Core.h"
#include "UlmaroKit/Index/IndexError.h"
#include "UlmaroKit/Platform/Utf8.h"
#include "UlmaroKit/Platform/WorkerPool.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <sys/stat.h>
#include <system_error>

namespace ulmaro {
namespace {

// The checks of the sweep, kept out of its branches: a record is sound when parentID + 1
// (wrapping in 32 bits, so that 0xFFFFFFFF, "no parent", becomes 0) is at most the record
// count, and nameOffset + nameLen (in 64 bits) at most the blob length. A record's first
// word holds parentID and nameOffset; its third holds nameLen at bit 32.
class RecordBounds {
public:
    RecordBounds(std::uint64_t count, std::uint64_t blobLength)
        : count_(count), blobLength_(blobLength) {}

    void note(const unsigned char* record) {
        std::uint64_t word0 = fasthash::load64(record), word2 = fasthash::load64(record + 16);
        parentPlusOne_ = std::max(parentPlusOne_, (word0 + 1) & 0xFFFFFFFF);
        const std::uint64_t offset = word0 >> 32, end = offset + ((word2 >> 32) & 0xFF);
        nameEnd_ = std::max(nameEnd_, end);
        inOrder_ = inOrder_ && offset >= previousEnd_;
        previousEnd_ = end;
    }

    /// Four records (96 bytes).
    void noteFour(const unsigned char* records);
    /// Called once after the last noteFour, before any later note.
    void endGroups();

    bool withinLimits() const;
    /// Whether every name starts at or after the end of the previous record's name.
    bool namesInRecordOrder() const;

private:
    std::uint64_t count_, blobLength_;
    std::uint64_t parentPlusOne_ = 0;
    std::uint64_t nameEnd_ = 0;
    std::uint64_t previousEnd_ = 0;
    bool inOrder_ = true;
#if defined(__SSE2__)
    // The vector form keeps the scalar units free for the hash that runs beside it.
    // A limit minus a value goes negative exactly when the value passes the limit; the
    // sign bits of every such difference are gathered here.
    __m128i bad_ = _mm_setzero_si128();

    static __m128i lowThenHigh(__m128i low, __m128i high) {
        return _mm_castpd_si128(_mm_move_sd(_mm_castsi128_pd(high), _mm_castsi128_pd(low)));
    }

    // Names in record order: each name's offset minus the previous name's end is never
    // negative; those differences' sign bits go to disorder_.
    __m128i previousEnds_ = _mm_setzero_si128();
    __m128i disorder_ = _mm_setzero_si128();

    void noteTwo(__m128i firstWords, __m128i thirdWords) {
        __m128i parentPlusOne = _mm_and_si128(_mm_add_epi32(firstWords, _mm_set1_epi32(1)),
                                              _mm_set1_epi64x(0xFFFFFFFF));
        __m128i offset = _mm_srli_epi64(firstWords, 32);
        __m128i nameEnd = _mm_add_epi64(
            offset, _mm_and_si128(_mm_srli_epi64(thirdWords, 32), _mm_set1_epi64x(0xFF)));
        __m128i count = _mm_set1_epi64x(static_cast<long long>(count_));
        __m128i blobLength = _mm_set1_epi64x(static_cast<long long>(blobLength_));
        bad_ = _mm_or_si128(bad_, _mm_or_si128(_mm_sub_epi64(count, parentPlusOne),
                                               _mm_sub_epi64(blobLength, nameEnd)));
        // The ends before these two records: the last one of the previous pair, then the first.
        __m128i before = _mm_castpd_si128(
            _mm_shuffle_pd(_mm_castsi128_pd(previousEnds_), _mm_castsi128_pd(nameEnd), 1));
        disorder_ = _mm_or_si128(disorder_, _mm_sub_epi64(offset, before));
        previousEnds_ = nameEnd;
    }
#endif
};

#if defined(__SSE2__)
// Word k of the group lies in half k % 2 of vector k / 2, so the first and third words of
// two records at a time are each one move_sd away.
void RecordBounds::noteFour(const unsigned char* records) {
    auto load = [&](int k) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(records + 16 * k));
    };
    __m128i v0 = load(0), v1 = load(1), v2 = load(2), v3 = load(3), v4 = load(4), v5 = load(5);
    noteTwo(lowThenHigh(v0, v1), lowThenHigh(v1, v2)); // records 0, 1: words 0, 3 and 2, 5
    noteTwo(lowThenHigh(v3, v4), lowThenHigh(v4, v5)); // records 2, 3: words 6, 9 and 8, 11
}

void RecordBounds::endGroups() {
    previousEnd_ = static_cast<std::uint64_t>(
        _mm_cvtsi128_si64(_mm_unpackhi_epi64(previousEnds_, previousEnds_)));
}

bool RecordBounds::withinLimits() const {
    return _mm_movemask_pd(_mm_castsi128_pd(bad_)) == 0 && parentPlusOne_ <= count_ &&
           nameEnd_ <= blobLength_;
}

bool RecordBounds::namesInRecordOrder() const {
    return _mm_movemask_pd(_mm_castsi128_pd(disorder_)) == 0 && inOrder_;
}
#else
void RecordBounds::noteFour(const unsigned char* records) {
    for (std::size_t k = 0; k < 4; ++k)
        note(records + k * sizeof(FileRecord));
}

void RecordBounds::endGroups() {}

bool RecordBounds::withinLimits() const {
    return parentPlusOne_ <= count_ && nameEnd_ <= blobLength_;
}

bool RecordBounds::namesInRecordOrder() const {
    return inOrder_;
}
#endif

struct PassResult {
    std::uint64_t checksum;
    bool recordsValid;
    bool namesInRecordOrder;
};

// One sweep over records and names that hashes them and checks every record as it goes.
// Four records are exactly three stripes: each group is checked while it is in L1.
PassResult hashAndCheck(const unsigned char* data, std::uint64_t count, std::uint64_t blobLength) {
    const std::uint64_t total = count * sizeof(FileRecord) + blobLength;
    fasthash::Lanes lanes;
    RecordBounds bounds(count, blobLength);
    const unsigned char* p = data;
    const unsigned char* const groupsEnd = data + count / 4 * 96;
    for (; p != groupsEnd; p += 96) {
        fasthash::consumeStripes(lanes, p, 3);
        bounds.noteFour(p);
    }
    bounds.endGroups();
    for (; p != data + count * sizeof(FileRecord); p += sizeof(FileRecord))
        bounds.note(p);
    // The rest (up to three records, then the names) continues the same stripe sequence.
    p = groupsEnd;
    std::uint64_t rest = total - static_cast<std::uint64_t>(groupsEnd - data);
    fasthash::consumeStripes(lanes, p, rest / 32);
    return {fasthash::finish(lanes, total, p + rest / 32 * 32, rest % 32), bounds.withinLimits(),
            bounds.namesInRecordOrder()};
}

// The hash is one chain of multiplications on one thread; a page fault stalls it for as long
// as a few hundred stripes take. So workers fault the mapping in ahead of it, a stretch each,
// while it runs. The hash takes the first stretch itself: it gets there before anyone could.
PassResult hashWhileFaultingIn(const MappedFile& mapping, std::uint64_t count,
                               std::uint64_t blobLength) {
    constexpr std::size_t stretch = std::size_t{2} << 20; // one page table's reach
    const std::size_t begin = IndexHeader::byteSize;
    const std::size_t end = begin + count * sizeof(FileRecord) + blobLength;
    const unsigned char* start = mapping.data() + begin;
    WorkerPool& pool = WorkerPool::shared();
    const std::size_t stretches = (end + stretch - 1) / stretch;
    if (pool.threadCount() < 2 || stretches < 4) {
        mapping.faultIn(begin, end - begin);
        return hashAndCheck(start, count, blobLength);
    }
    PassResult pass{};
    std::atomic<bool> hashed{false};
    pool.parallelFor(stretches, [&](std::size_t i) {
        if (i == 0) {
            pass = hashAndCheck(start, count, blobLength);
            hashed.store(true, std::memory_order_relaxed);
        } else if (!hashed.load(std::memory_order_relaxed)) {
            // Once the hash is done, faulting in more is of no use to anyone.
            mapping.faultIn(i * stretch, std::min(stretch, end - i * stretch));
        }
    });
    return pass;
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
    const PassResult pass =
        hashWhileFaultingIn(mapping_, header_.recordCount, header_.nameBlobLength);
    // A record that points outside the file is damage like any other.
    if (pass.checksum != header_.checksum || !pass.recordsValid)
        throw IndexError::checksumMismatch();
    records_ = reinterpret_cast<const FileRecord*>(start);
    blob_ = reinterpret_cast<const char*>(start + recordBytes);
    namesInRecordOrder_ = pass.namesInRecordOrder;
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
