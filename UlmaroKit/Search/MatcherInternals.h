#pragma once

// Pieces shared by the matcher's source files; not part of the library's interface.

#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/PathResolver.h"
#include "UlmaroKit/Platform/HugePages.h"
#include "UlmaroKit/Platform/WorkerPool.h"
#include "UlmaroKit/Search/Matcher.h"
#include "UlmaroKit/Search/MatcherRegex.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ulmaro {

/// A term with everything it needs looked up in the caches beforehand, so that testing records
/// against it reads no cache and can run on any thread.
struct Matcher::PreparedTerm {
    Term::Kind kind = Term::Kind::contains;
    /// substring, exactPhrase, pathContains: the folded text; ext: the folded list.
    std::string_view needle;
    /// pathContains with a "/": the text case-folded (full Unicode folding).
    const std::u16string* foldedPath = nullptr;
    bool pathHasSlash = false;
    bool pathIsAscii = false;
    /// regex: null when the pattern did not compile.
    const CompiledRegex* regex = nullptr;
    /// regex: the literal every match holds (folded), when there is one.
    std::optional<std::string_view> literal;
    SizeComparison size;
    /// dateModified: the moments that qualify; nothing when they cannot be formed.
    std::optional<DateRange> dates;
    TypeConstraint type = TypeConstraint::file;
    /// not_: the inner term, alone.
    std::vector<PreparedTerm> inner;
    /// substring, one of several plain words of its list: it may stand in a folder above the
    /// record instead of its name (tested as a pathContains term, with the fields above).
    bool orInFolder = false;
};

struct Matcher::PreparedList {
    std::vector<PreparedTerm> terms;
    /// Two or more plain words: one of them must be in the record's own name, each of the
    /// others in it or in a folder above it.
    bool severalWords = false;
};

struct Matcher::Prepared {
    PreparedList andTerms;
    std::vector<PreparedList> groups;
};

/// Working memory of one thread of record tests.
struct Matcher::Scratch {
    RegexScratch regex;
};

/// A record-local term in flat form (the compiled whole-store pass).
struct Matcher::CompiledTerm {
    enum class Kind : std::uint8_t {
        type,
        size,
        dateModified,
        scoredSubstring,
        booleanSubstring,
        ext
    };
    Kind kind = Kind::type;
    std::uint32_t needleOffset = 0;
    std::uint32_t needleLength = 0;
    bool negated = false;
    TypeConstraint type = TypeConstraint::file;
    SizeComparison size;
    std::optional<DateRange> dates;
};

struct Matcher::CompiledQuery {
    std::vector<CompiledTerm> terms;
    std::string needles;
    std::pair<std::size_t, std::size_t> andRange{0, 0};
    std::vector<std::pair<std::size_t, std::size_t>> groupRanges;
};

/// A record whose own name holds some of several words: its best grade among them (the
/// earlier word on a tie) and the words it holds, bit w for word w.
struct Matcher::WordsInName {
    Match match;
    std::uint64_t words = 0;
};

/// A quality and the offset of the occurrence that gave it.
struct Scored {
    MatchQuality quality = MatchQuality::substring;
    std::int32_t offset = 0;
};

/// The best result among alternatives (OR groups): the lowest quality, the earlier on a tie.
template <class Alternatives, class Score>
std::optional<Scored> bestOf(const Alternatives& alternatives, Score&& score) {
    std::optional<Scored> best;
    for (const auto& alternative : alternatives) {
        const std::optional<Scored> r = score(alternative);
        if (r && (!best || r->quality < best->quality)) best = r;
    }
    return best;
}

/// Tests records against prepared and compiled terms. Reads only the store; safe on any thread.
class RecordEvaluator {
public:
    RecordEvaluator(const IndexStore& store, const PathResolver& resolver)
        : store_(store), resolver_(resolver) {}

    bool holds(const Matcher::PreparedTerm& term, std::uint32_t id, Matcher::Scratch& s) const;
    std::optional<Scored> score(const Matcher::PreparedList& list, std::uint32_t id,
                                Matcher::Scratch& s) const;
    /// The whole query for one live record: the AND terms, or the best of the groups (the
    /// earlier group on a tie).
    std::optional<Scored> evaluate(const Matcher::Prepared& query, std::uint32_t id,
                                   Matcher::Scratch& s) const;
    bool pathContains(const Matcher::PreparedTerm& term, std::uint32_t id) const;

    std::optional<Scored> scoreFast(const Matcher::CompiledQuery& query,
                                    std::pair<std::size_t, std::size_t> range,
                                    std::uint32_t id) const;

private:
    bool holdsFast(const Matcher::CompiledTerm& term, const FileRecord& record,
                   std::string_view name, const std::string& needles) const;

    const IndexStore& store_;
    const PathResolver& resolver_;
};

/// Whether the name's extension (after its last ".", which must be neither its first nor its
/// last byte) is one of the comma-separated items of the folded list.
bool extensionMatches(std::string_view foldedList, std::string_view name);

/// Record-local terms: those a record's own fields decide.
bool isRecordLocal(const Term& term);

/// A plain word: a substring term with text. Two or more of them in one list of terms take the
/// several-words meaning (one in the record's own name, the others in it or a folder above).
bool isPlainWord(const Term& term);
std::size_t plainWordCount(const std::vector<Term>& terms);

/// The terms in the order to test them: those reading only the record first, then the name,
/// then expressions, then paths; query order otherwise.
std::vector<const Term*> cheapestFirst(const std::vector<Term>& terms);

/// How many threads a scan over n records may use: one per 10000 records, at most the pool's.
inline unsigned shardThreads(WorkerPool& pool, std::size_t n) {
    if (n < Matcher::recordsPerShard) return 1;
    return static_cast<unsigned>(
        std::min<std::size_t>(n / Matcher::recordsPerShard, pool.threadCount()));
}

/// Runs scan(begin, end, out) over ordered shards of [0, n) and joins their outputs in shard
/// order, so the result is what one scan of [0, n) gives. With fewer than 2 threads' worth of
/// work it runs on the calling thread. Shard boundaries fall on multiples of 1024.
template <class T, class Scan>
std::vector<T> runSharded(WorkerPool& pool, std::size_t n, Scan&& scan) {
    std::vector<T> out;
    const unsigned threads = shardThreads(pool, n);
    if (threads < 2) {
        scan(std::size_t{0}, n, out);
        return out;
    }
    // More shards than threads, so that one slow thread does not hold up the whole scan.
    const std::size_t shards =
        std::min<std::size_t>(n / Matcher::recordsPerShard, std::size_t{threads} * 4);
    auto boundary = [&](std::size_t i) {
        if (i >= shards) return n;
        const std::size_t b = (n * i / shards + 1023) & ~std::size_t{1023};
        return std::min(b, n);
    };
    std::vector<std::vector<T>> slots(shards);
    pool.parallelFor(
        shards, [&](std::size_t i) { scan(boundary(i), boundary(i + 1), slots[i]); }, threads);
    std::size_t total = 0;
    for (const auto& slot : slots)
        total += slot.size();
    out.reserve(total);
    adviseHugePages(out.data(), total * sizeof(T));
    for (const auto& slot : slots)
        out.insert(out.end(), slot.begin(), slot.end());
    return out;
}

} // namespace ulmaro
