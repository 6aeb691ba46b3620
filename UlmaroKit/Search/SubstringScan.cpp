#include "UlmaroKit/Search/SubstringScan.h"

#include "UlmaroKit/Index/IndexStore.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <immintrin.h>

namespace ulmaro::SubstringScan {

namespace {

using Byte = unsigned char;

constexpr bool isLowerLetter(Byte c) {
    return c >= 'a' && c <= 'z';
}

// A folded needle byte b matches a name byte x when (x | orMask) == b: for a letter, OR-ing 0x20
// lowers exactly its upper-case form onto it; any other byte must be equal.
constexpr Byte orMaskFor(Byte b) {
    return isLowerLetter(b) ? 0x20 : 0x00;
}

inline bool matchesAt(const Byte* hay, const Byte* needle, std::size_t m) {
    for (std::size_t k = 0; k < m; ++k)
        if (foldAscii(hay[k]) != needle[k]) return false;
    return true;
}

// Leftmost folded occurrence in a short name, byte by byte.
std::size_t findScalar(const Byte* hay, std::size_t n, const Byte* needle, std::size_t m) {
    const Byte first = needle[0];
    const Byte upper = isLowerLetter(first) ? static_cast<Byte>(first - 0x20) : first;
    for (std::size_t p = 0; p + m <= n; ++p) {
        if ((hay[p] == first || hay[p] == upper) && matchesAt(hay + p + 1, needle + 1, m - 1))
            return p;
    }
    return std::string_view::npos;
}

// Leftmost folded occurrence, 16 positions at a time: a position is a candidate when its byte
// matches the needle's first byte and the byte m − 1 further matches its last.
std::size_t findSse2(const Byte* hay, std::size_t n, const Byte* needle, std::size_t m) {
    const __m128i or0 = _mm_set1_epi8(static_cast<char>(orMaskFor(needle[0])));
    const __m128i v0 = _mm_set1_epi8(static_cast<char>(needle[0]));
    const __m128i orL = _mm_set1_epi8(static_cast<char>(orMaskFor(needle[m - 1])));
    const __m128i vL = _mm_set1_epi8(static_cast<char>(needle[m - 1]));
    std::size_t p = 0;
    for (; p + 16 + m - 1 <= n; p += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hay + p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hay + p + m - 1));
        const __m128i eq = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, or0), v0),
                                         _mm_cmpeq_epi8(_mm_or_si128(b, orL), vL));
        unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(eq));
        while (bits != 0) {
            const std::size_t q = p + static_cast<std::size_t>(__builtin_ctz(bits));
            if (matchesAt(hay + q + 1, needle + 1, m - 1)) return q;
            bits &= bits - 1;
        }
    }
    const std::size_t rest = findScalar(hay + p, n - p, needle, m);
    return rest == std::string_view::npos ? rest : p + rest;
}

// Maps ascending blob positions to the records whose names start at or before them. Hits come
// in ascending order, so the cursor only moves forward. The nearest hits are walked to; others
// are found by interpolation (name lengths vary little, so a few probes land on the record),
// alternating with bisection so that no layout of lengths makes it slow.
class RecordLocator {
public:
    RecordLocator(const FileRecord* records, std::uint32_t begin, std::uint32_t end)
        : records_(records), cursor_(begin), end_(end) {}

    /// The last record at or after the cursor whose name starts at or before p.
    std::uint32_t recordAt(std::size_t p) {
        std::uint32_t lo = cursor_;
        for (int near = 0; near < 4; ++near) {
            if (lo + 1 >= end_ || start(lo + 1) > p) return cursor_ = lo;
            ++lo;
        }
        // Dense hits (a byte many names hold) land a few dozen records on: search only the
        // next stretch of records then, so that every probe stays near.
        std::uint32_t hi = end_ - 1;
        if (lo + nearby < end_) {
            if (start(lo + nearby) > p)
                hi = lo + nearby;
            else
                lo += nearby;
        }
        if (start(hi) <= p) return cursor_ = hi;
        // start(lo) <= p < start(hi)
        bool interpolate = true;
        while (hi - lo > 1) {
            std::uint32_t mid;
            if (interpolate) {
                const std::size_t span = start(hi) - start(lo);
                mid = lo + static_cast<std::uint32_t>((p - start(lo)) * std::uint64_t{hi - lo} /
                                                      std::max<std::size_t>(span, 1));
                mid = std::clamp(mid, lo + 1, hi - 1);
            } else {
                mid = lo + (hi - lo) / 2;
            }
            interpolate = !interpolate;
            if (start(mid) <= p)
                lo = mid;
            else
                hi = mid;
        }
        return cursor_ = lo;
    }

private:
    static constexpr std::uint32_t nearby = 256;

    std::size_t start(std::uint32_t r) const { return records_[r].nameOffset; }

    const FileRecord* records_;
    std::uint32_t cursor_;
    std::uint32_t end_;
};

// The blob scan of one record range. The vector loops report candidate positions (first and last
// needle byte match); `candidate` verifies them, maps them to their record and grades them.
class BlobScan {
public:
    BlobScan(const IndexStore& store, std::uint32_t begin, std::uint32_t end, const Byte* needle,
             std::size_t m, bool includeDeleted, std::vector<Match>& out)
        : records_(store.records()), blob_(reinterpret_cast<const Byte*>(store.nameBlob().data())),
          needle_(needle), m_(m), begin_(begin), end_(end), locator_(records_, begin, end),
          includeDeleted_(includeDeleted), out_(out) {}

    void run() {
        const FileRecord& last = records_[end_ - 1];
        const std::size_t from = records_[begin_].nameOffset;
        const std::size_t to = std::size_t{last.nameOffset} + last.nameLen;
        if (to < from + m_) return;
        std::size_t p = usesAvx2() ? vectorAvx2(from, to) : vectorSse2(from, to);
        const Byte first = needle_[0];
        const Byte orMask = orMaskFor(first);
        for (; p + m_ <= to; ++p)
            if ((blob_[p] | orMask) == first) candidate(p);
    }

private:
    // Returns the position where the byte-by-byte tail takes over.
    __attribute__((target("avx2"))) std::size_t vectorAvx2(std::size_t p, std::size_t to) {
        const __m256i or0 = _mm256_set1_epi8(static_cast<char>(orMaskFor(needle_[0])));
        const __m256i v0 = _mm256_set1_epi8(static_cast<char>(needle_[0]));
        const __m256i orL = _mm256_set1_epi8(static_cast<char>(orMaskFor(needle_[m_ - 1])));
        const __m256i vL = _mm256_set1_epi8(static_cast<char>(needle_[m_ - 1]));
        for (; p + 32 + m_ - 1 <= to; p += 32) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(blob_ + p));
            const __m256i b =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(blob_ + p + m_ - 1));
            const __m256i eq = _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(a, or0), v0),
                                                _mm256_cmpeq_epi8(_mm256_or_si256(b, orL), vL));
            unsigned bits = static_cast<unsigned>(_mm256_movemask_epi8(eq));
            while (bits != 0) {
                const std::size_t q = p + static_cast<std::size_t>(__builtin_ctz(bits));
                if (q >= skip_) candidate(q);
                bits &= bits - 1;
            }
        }
        return p;
    }

    std::size_t vectorSse2(std::size_t p, std::size_t to) {
        const __m128i or0 = _mm_set1_epi8(static_cast<char>(orMaskFor(needle_[0])));
        const __m128i v0 = _mm_set1_epi8(static_cast<char>(needle_[0]));
        const __m128i orL = _mm_set1_epi8(static_cast<char>(orMaskFor(needle_[m_ - 1])));
        const __m128i vL = _mm_set1_epi8(static_cast<char>(needle_[m_ - 1]));
        for (; p + 16 + m_ - 1 <= to; p += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blob_ + p));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blob_ + p + m_ - 1));
            const __m128i eq = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, or0), v0),
                                             _mm_cmpeq_epi8(_mm_or_si128(b, orL), vL));
            unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(eq));
            while (bits != 0) {
                const std::size_t q = p + static_cast<std::size_t>(__builtin_ctz(bits));
                if (q >= skip_) candidate(q);
                bits &= bits - 1;
            }
        }
        return p;
    }

    // p + m lies within the scanned bytes; the first needle byte at p is known to match.
    void candidate(std::size_t p) {
        if (p < skip_ || !matchesAt(blob_ + p + 1, needle_ + 1, m_ - 1)) return;
        const std::uint32_t r = locator_.recordAt(p);
        const FileRecord& rec = records_[r];
        const std::size_t start = rec.nameOffset;
        const std::size_t stop = start + rec.nameLen;
        // Past this name's end the hit lies in a gap or straddles two names: no later position
        // of this name can hold the needle either.
        skip_ = std::max(skip_, stop);
        if (p + m_ > stop) return;
        if (!includeDeleted_ && rec.flags.contains(RecordFlags::deleted)) return;
        const std::string_view name(reinterpret_cast<const char*>(blob_ + start), rec.nameLen);
        out_.push_back(Match{r, grade(name, p - start, m_), static_cast<std::int32_t>(p - start)});
    }

    const FileRecord* records_;
    const Byte* blob_;
    const Byte* needle_;
    std::size_t m_;
    std::uint32_t begin_;
    std::uint32_t end_;
    RecordLocator locator_;
    std::size_t skip_ = 0;
    bool includeDeleted_;
    std::vector<Match>& out_;
};

// The first position in [p, to) whose byte, OR-ed with orMask, is b; `to` when there is none.
__attribute__((target("avx2"))) std::size_t findByteAvx2(const Byte* blob, std::size_t p,
                                                         std::size_t to, Byte b, Byte orMask) {
    const __m256i vb = _mm256_set1_epi8(static_cast<char>(b));
    const __m256i vor = _mm256_set1_epi8(static_cast<char>(orMask));
    for (; p + 64 <= to; p += 64) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(blob + p));
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(blob + p + 32));
        const __m256i ex = _mm256_cmpeq_epi8(_mm256_or_si256(x, vor), vb);
        const __m256i ey = _mm256_cmpeq_epi8(_mm256_or_si256(y, vor), vb);
        if (_mm256_testz_si256(_mm256_or_si256(ex, ey), _mm256_or_si256(ex, ey))) continue;
        const std::uint64_t bits =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(ex)) |
            std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(ey))} << 32;
        return p + static_cast<std::size_t>(__builtin_ctzll(bits));
    }
    for (; p < to; ++p)
        if ((blob[p] | orMask) == b) return p;
    return to;
}

std::size_t findByteSse2(const Byte* blob, std::size_t p, std::size_t to, Byte b, Byte orMask) {
    const __m128i vb = _mm_set1_epi8(static_cast<char>(b));
    const __m128i vor = _mm_set1_epi8(static_cast<char>(orMask));
    for (; p + 16 <= to; p += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blob + p));
        const unsigned bits =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(x, vor), vb)));
        if (bits != 0) return p + static_cast<std::size_t>(__builtin_ctz(bits));
    }
    for (; p < to; ++p)
        if ((blob[p] | orMask) == b) return p;
    return to;
}

} // namespace

bool usesAvx2() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}

std::string folded(std::string_view bytes) {
    std::string out(bytes);
    for (char& c : out)
        c = static_cast<char>(foldAscii(static_cast<Byte>(c)));
    return out;
}

std::size_t find(std::string_view foldedNeedle, std::string_view name) {
    const std::size_t m = foldedNeedle.size(), n = name.size();
    if (m == 0 || n < m) return std::string_view::npos;
    const auto* hay = reinterpret_cast<const Byte*>(name.data());
    const auto* needle = reinterpret_cast<const Byte*>(foldedNeedle.data());
    return n >= 16 ? findSse2(hay, n, needle, m) : findScalar(hay, n, needle, m);
}

void scanRange(const IndexStore& store, std::uint32_t begin, std::uint32_t end,
               std::string_view foldedNeedle, bool inRecordOrder, bool includeDeleted,
               std::vector<Match>& out) {
    const std::size_t m = foldedNeedle.size();
    if (m == 0 || begin >= end) return;
    if (inRecordOrder) {
        BlobScan(store, begin, end, reinterpret_cast<const Byte*>(foldedNeedle.data()), m,
                 includeDeleted, out)
            .run();
        return;
    }
    const FileRecord* records = store.records();
    for (std::uint32_t id = begin; id < end; ++id) {
        const FileRecord& rec = records[id];
        if (rec.nameLen < m) continue;
        if (!includeDeleted && rec.flags.contains(RecordFlags::deleted)) continue;
        const std::string_view name = store.nameBytes(id);
        const std::size_t p = find(foldedNeedle, name);
        if (p != std::string_view::npos)
            out.push_back(Match{id, grade(name, p, m), static_cast<std::int32_t>(p)});
    }
}

NeedleBytes::NeedleBytes(std::string_view nameBlob, std::string_view foldedNeedle) {
    // Names of one store share their alphabet throughout, so a few spread windows tell.
    constexpr std::size_t windows = 64, window = 1024;
    std::array<std::uint32_t, 256> counts{};
    const auto* blob = reinterpret_cast<const Byte*>(nameBlob.data());
    auto count = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            ++counts[foldAscii(blob[i])];
    };
    if (nameBlob.size() <= windows * window) {
        count(0, nameBlob.size());
    } else {
        const std::size_t stride = (nameBlob.size() - window) / (windows - 1);
        for (std::size_t w = 0; w < windows; ++w)
            count(w * stride, w * stride + window);
    }
    for (const char c : foldedNeedle.substr(0, bytes_.size())) {
        const auto b = static_cast<Byte>(c);
        if (std::find(bytes_.begin(), bytes_.begin() + count_, b) == bytes_.begin() + count_)
            bytes_[count_++] = b;
    }
    std::stable_sort(bytes_.begin(), bytes_.begin() + count_,
                     [&](Byte a, Byte b) { return counts[a] < counts[b]; });
    for (std::size_t k = 0; k < count_; ++k) {
        std::fill_n(wanted_.begin() + 16 * k, 16, bytes_[k]);
        std::fill_n(orMasks_.begin() + 16 * k, 16, orMaskFor(bytes_[k]));
    }
}

// Byte by byte, rarest first, so that most names are refused on the first byte they lack. The
// name is read 16 bytes at a time; a last block that would pass `readable` is copied out.
bool NeedleBytes::allIn(std::string_view name, std::size_t readable) const {
    const auto* p = reinterpret_cast<const Byte*>(name.data());
    const std::size_t n = name.size();
    for (std::size_t k = 0; k < count_; ++k) {
        const __m128i want = _mm_load_si128(reinterpret_cast<const __m128i*>(&wanted_[16 * k]));
        const __m128i orMask = _mm_load_si128(reinterpret_cast<const __m128i*>(&orMasks_[16 * k]));
        bool found = false;
        for (std::size_t at = 0; at < n && !found; at += 16) {
            __m128i block;
            if (at + 16 <= readable) {
                block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
            } else {
                alignas(16) Byte rest[16] = {};
                std::memcpy(rest, p + at, n - at);
                block = _mm_load_si128(reinterpret_cast<const __m128i*>(rest));
            }
            const unsigned valid = n - at >= 16 ? 0xFFFFu : (1u << (n - at)) - 1;
            const __m128i eq = _mm_cmpeq_epi8(_mm_or_si128(block, orMask), want);
            found = (static_cast<unsigned>(_mm_movemask_epi8(eq)) & valid) != 0;
        }
        if (!found) return false;
    }
    return true;
}

void recordsHoldingByte(const IndexStore& store, std::uint32_t begin, std::uint32_t end,
                        unsigned char foldedByte, bool inRecordOrder,
                        std::vector<std::uint32_t>& out) {
    if (begin >= end) return;
    const FileRecord* records = store.records();
    const auto* blob = reinterpret_cast<const Byte*>(store.nameBlob().data());
    const Byte orMask = orMaskFor(foldedByte);
    if (!inRecordOrder) {
        for (std::uint32_t id = begin; id < end; ++id) {
            const Byte* name = blob + records[id].nameOffset;
            const std::size_t n = records[id].nameLen;
            if (findByteSse2(name, 0, n, foldedByte, orMask) < n) out.push_back(id);
        }
        return;
    }
    const std::size_t to = std::size_t{records[end - 1].nameOffset} + records[end - 1].nameLen;
    std::size_t p = records[begin].nameOffset;
    RecordLocator locator(records, begin, end);
    const bool avx2 = usesAvx2();
    for (;;) {
        p = avx2 ? findByteAvx2(blob, p, to, foldedByte, orMask)
                 : findByteSse2(blob, p, to, foldedByte, orMask);
        if (p >= to) return;
        const std::uint32_t r = locator.recordAt(p);
        const std::size_t stop = std::size_t{records[r].nameOffset} + records[r].nameLen;
        if (p < stop) {
            out.push_back(r);
            p = stop; // one hit per name
        } else {
            ++p; // a byte between names
        }
    }
}

} // namespace ulmaro::SubstringScan
