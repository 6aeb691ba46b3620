// The shape dispatch of Matcher::match and its parallel scans.

#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Platform/UnicodeText.h"
#include "UlmaroKit/Platform/Utf8.h"
#include "UlmaroKit/Platform/WorkerPool.h"
#include "UlmaroKit/Search/FuzzyMatcher.h"
#include "UlmaroKit/Search/Matcher.h"
#include "UlmaroKit/Search/MatcherInternals.h"
#include "UlmaroKit/Search/SubstringScan.h"

#include <algorithm>
#include <atomic>
#include <numeric>
#include <unordered_map>

namespace ulmaro {

namespace {

bool isAscendingWithin(std::span<const std::uint32_t> ids, std::size_t count) {
    for (std::size_t i = 1; i < ids.size(); ++i)
        if (ids[i - 1] >= ids[i]) return false;
    return ids.empty() || ids.back() < count;
}

const Term* soleTerm(const Query& q) {
    return q.orGroups.empty() && q.andTerms.size() == 1 ? &q.andTerms.front() : nullptr;
}

// Several plain words in one list read folders above the record: not record-local.
bool allRecordLocal(const Query& q) {
    auto local = [](const std::vector<Term>& terms) {
        return std::all_of(terms.begin(), terms.end(), isRecordLocal) && plainWordCount(terms) < 2;
    };
    if (q.orGroups.empty()) return local(q.andTerms);
    return std::all_of(q.orGroups.begin(), q.orGroups.end(),
                       [&](const std::vector<Term>& g) { return !g.empty() && local(g); });
}

struct FuzzyHit {
    std::uint32_t id = 0;
    int score = 0;
    int offset = 0;
};

} // namespace

// MARK: - Entry points

std::vector<Match> Matcher::match(const Query& query, Candidates candidates) {
    if (query.isEmpty()) return {};
    if (candidates) {
        const Term* sole = soleTerm(query);
        if (sole != nullptr && isPlainWord(*sole) &&
            candidates->size() >= wholeStoreDispatchThreshold &&
            isAscendingWithin(*candidates, store_->count()))
            return soleWordAmong(needleFor(sole->text()), *candidates);
        return recordByRecord(query, candidates);
    }
    if (store_->count() < wholeStoreDispatchThreshold) return recordByRecord(query, std::nullopt);
    return dispatch(query);
}

// A big, ascending candidate list (type-ahead narrowing) for one word: the blob scan of the
// store, kept where it meets the list, costs less than testing each candidate's name.
std::vector<Match> Matcher::soleWordAmong(std::string_view foldedNeedle,
                                          std::span<const std::uint32_t> candidates) {
    std::vector<Match> found = soleWord(foldedNeedle);
    std::size_t kept = 0, c = 0;
    for (const Match& m : found) {
        while (c < candidates.size() && candidates[c] < m.id)
            ++c;
        if (c == candidates.size()) break;
        if (candidates[c] == m.id) found[kept++] = m;
    }
    found.resize(kept);
    return found;
}

std::vector<Match> Matcher::dispatch(const Query& query) {
    const Term* sole = soleTerm(query);
    if (sole != nullptr && isPlainWord(*sole)) return soleWord(needleFor(sole->text()));
    if (query.orGroups.empty() && plainWordCount(query.andTerms) >= 2) return severalWords(query);
    if (sole != nullptr && sole->kind() == Term::Kind::pathContains && !sole->text().empty() &&
        sole->text().find('/') == std::string::npos)
        return pathOnlyMatch(needleFor(sole->text()));
    if (allRecordLocal(query)) return compiledWholeStore(query);
    if (sole != nullptr && sole->kind() == Term::Kind::regex) return soleRegex(query, sole->text());
    return recordByRecord(query, std::nullopt);
}

std::vector<Match> Matcher::matchWithFuzzyFallback(const Query& query, Candidates candidates) {
    std::vector<Match> results = match(query, candidates);
    if (results.size() >= fuzzyFallbackThreshold) return results;
    const Term* sole = soleTerm(query);
    if (sole == nullptr || sole->kind() != Term::Kind::substring) return results;
    const std::string needle = UnicodeText::lowercased(repairUtf8(sole->text()));
    if (!FuzzyMatcher::isEligible(needle)) return results;
    std::vector<Match> fuzzy = fuzzyScan(needle, results);
    results.insert(results.end(), fuzzy.begin(), fuzzy.end());
    return results;
}

// MARK: - Substring scans

bool Matcher::namesInRecordOrder() const {
    return store_->namesInRecordOrder();
}

std::vector<Match> Matcher::soleWord(std::string_view foldedNeedle) {
    if (trigrams_)
        if (auto blocks = trigrams_->candidateBlocks(foldedNeedle))
            return scanBlocks(*blocks, foldedNeedle);
    return fullSubstringScan(foldedNeedle);
}

std::vector<Match> Matcher::fullSubstringScan(std::string_view foldedNeedle) {
    const bool ordered = namesInRecordOrder();
    return runSharded<Match>(*pool_, store_->count(),
                             [&](std::size_t from, std::size_t to, std::vector<Match>& out) {
                                 SubstringScan::scanRange(*store_, static_cast<std::uint32_t>(from),
                                                          static_cast<std::uint32_t>(to),
                                                          foldedNeedle, ordered, false, out);
                             });
}

std::vector<Match> Matcher::scanBlocks(std::span<const std::uint32_t> blocks,
                                       std::string_view foldedNeedle) {
    if (blocks.empty()) return {};
    const std::size_t count = store_->count();
    // Runs of consecutive blocks become one record range each.
    struct Range {
        std::size_t begin, end;
    };
    std::vector<Range> ranges;
    std::size_t n = 0;
    for (std::uint32_t b : blocks) {
        const std::size_t begin = std::size_t{b} * TrigramIndex::blockSize;
        if (begin >= count) break; // blocks ascend: the rest lie past the store too
        const std::size_t end = std::min(begin + TrigramIndex::blockSize, count);
        if (!ranges.empty() && ranges.back().end == begin)
            ranges.back().end = end;
        else
            ranges.push_back({begin, end});
        n += end - begin;
    }
    const bool ordered = namesInRecordOrder();
    // The ranges laid end to end form [0, n); a shard of that line covers parts of ranges.
    std::vector<std::size_t> lineStart(ranges.size());
    std::size_t acc = 0;
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        lineStart[i] = acc;
        acc += ranges[i].end - ranges[i].begin;
    }
    return runSharded<Match>(
        *pool_, n, [&](std::size_t from, std::size_t to, std::vector<Match>& out) {
            auto i = static_cast<std::size_t>(
                std::upper_bound(lineStart.begin(), lineStart.end(), from) - lineStart.begin() - 1);
            for (; i < ranges.size() && lineStart[i] < to; ++i) {
                const std::size_t lo =
                    std::max(from, lineStart[i]) - lineStart[i] + ranges[i].begin;
                const std::size_t hi =
                    std::min(to, lineStart[i] + (ranges[i].end - ranges[i].begin)) - lineStart[i] +
                    ranges[i].begin;
                SubstringScan::scanRange(*store_, static_cast<std::uint32_t>(lo),
                                         static_cast<std::uint32_t>(hi), foldedNeedle, ordered,
                                         false, out);
            }
        });
}

std::vector<std::uint64_t> Matcher::nameHoldsBits(std::string_view foldedNeedle) {
    const std::size_t n = store_->count();
    std::vector<std::uint64_t> bits((n + 63) / 64, 0);
    const bool ordered = namesInRecordOrder();
    // Shards start on multiples of 1024, so no two shards write the same word.
    runSharded<char>(*pool_, n, [&](std::size_t from, std::size_t to, std::vector<char>&) {
        std::vector<Match> hits;
        SubstringScan::scanRange(*store_, static_cast<std::uint32_t>(from),
                                 static_cast<std::uint32_t>(to), foldedNeedle, ordered, true, hits);
        for (const Match& m : hits)
            bits[m.id >> 6] |= std::uint64_t{1} << (m.id & 63);
    });
    return bits;
}

// MARK: - Several words

namespace {

// The records whose own names hold some of the words, in record order, from each word's hits
// (ascending). With `bits` (zero, at least hits.size() runs of (count + 63) / 64 entries), bit
// r of word w's run is set when record r is among word w's hits.
std::vector<Matcher::WordsInName> mergeHits(const std::vector<std::vector<Match>>& hits,
                                            std::size_t count, std::vector<std::uint64_t>* bits) {
    const std::size_t k = hits.size();
    const std::size_t stride = (count + 63) / 64;
    std::vector<Matcher::WordsInName> out;
    std::size_t total = 0;
    for (const auto& h : hits)
        total += h.size();
    out.reserve(total);
    std::vector<std::size_t> at(k, 0);
    for (;;) {
        std::uint32_t id = UINT32_MAX;
        for (std::size_t w = 0; w < k; ++w)
            if (at[w] < hits[w].size()) id = std::min(id, hits[w][at[w]].id);
        if (id == UINT32_MAX) break;
        Matcher::WordsInName c;
        for (std::size_t w = 0; w < k; ++w) {
            if (at[w] == hits[w].size() || hits[w][at[w]].id != id) continue;
            const Match& m = hits[w][at[w]++];
            if (c.words == 0 || m.quality < c.match.quality) c.match = m;
            c.words |= std::uint64_t{1} << (w % 64); // exact with bits: then 64 words at most
            if (bits != nullptr) (*bits)[w * stride + (id >> 6)] |= std::uint64_t{1} << (id & 63);
        }
        out.push_back(c);
    }
    return out;
}

} // namespace

// A record matches several plain words when one of them is in its own name and each of the
// others in it or in a folder above it, whatever other records hold. So the names holding
// some word are the only candidates.
std::vector<Match> Matcher::severalWords(const Query& query) {
    // A repeated word asks nothing more: it is in the name, or it is the word in the name.
    std::vector<std::string_view> needles;
    bool onlyWords = true, anySlash = false;
    for (const Term& t : query.andTerms) {
        if (!isPlainWord(t)) {
            onlyWords = false;
            continue;
        }
        const std::string_view needle = needleFor(t.text());
        anySlash = anySlash || needle.find('/') != std::string_view::npos;
        if (std::find(needles.begin(), needles.end(), needle) == needles.end())
            needles.push_back(needle);
    }
    std::vector<std::vector<Match>> hits;
    for (std::string_view needle : needles)
        hits.push_back(soleWord(needle));
    // Words with a "/" are looked for in whole paths, and other terms have their own tests:
    // there the record tests decide among the candidates.
    if (!onlyWords || anySlash || needles.size() > 64) {
        const std::vector<WordsInName> candidates = mergeHits(hits, store_->count(), nullptr);
        std::vector<std::uint32_t> ids(candidates.size());
        std::transform(candidates.begin(), candidates.end(), ids.begin(),
                       [](const WordsInName& c) { return c.match.id; });
        return recordByRecord(query, std::span<const std::uint32_t>(ids));
    }

    // Only plain words: a candidate's folders are read as one bit per folder and word.
    // Kept between calls and cleared after use: fresh pages for each query cost more than the
    // words themselves on some virtual machines.
    const std::size_t stride = (store_->count() + 63) / 64;
    if (wordBits_.size() < stride * needles.size()) wordBits_.resize(stride * needles.size(), 0);
    struct ClearAfterUse {
        std::vector<std::uint64_t>& bits;
        const std::vector<std::vector<Match>>& hits;
        std::size_t stride;
        ~ClearAfterUse() {
            for (std::size_t w = 0; w < hits.size(); ++w)
                for (const Match& m : hits[w])
                    bits[w * stride + (m.id >> 6)] = 0;
        }
    } clearAfterUse{wordBits_, hits, stride};
    const std::vector<WordsInName> candidates = mergeHits(hits, store_->count(), &wordBits_);
    return verifyAlongFolders(needles, candidates, wordBits_);
}

// Keeps the candidates that hold in their own names, or in the names of up to 255 folders
// above them, every word (bit w of word w in `bits`, as `mergeHits` fills it).
std::vector<Match> Matcher::verifyAlongFolders(const std::vector<std::string_view>& needles,
                                               const std::vector<WordsInName>& candidates,
                                               const std::vector<std::uint64_t>& bits) {
    const std::size_t n = store_->count();
    const std::size_t k = needles.size();
    const std::size_t stride = (n + 63) / 64;
    const std::uint64_t all = k == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << k) - 1;
    const FileRecord* records = store_->records();
    auto ownWords = [&](std::uint32_t folder) {
        // Deleted folders were not scanned but still lend their names.
        const bool deleted = records[folder].flags.contains(RecordFlags::deleted);
        std::uint64_t words = 0;
        for (std::size_t w = 0; w < k; ++w) {
            const bool holds = deleted
                                   ? SubstringScan::find(needles[w], store_->nameBytes(folder)) !=
                                         std::string_view::npos
                                   : ((bits[w * stride + (folder >> 6)] >> (folder & 63)) & 1) != 0;
            if (holds) words |= std::uint64_t{1} << w;
        }
        return words;
    };
    auto isFolder = [&](std::uint32_t id) { return id != FileRecord::rootParentID && id < n; };
    // The words in the names of a folder and of the folders above it, and how many names
    // that is. Remembered per folder, as neighbouring records share most of their folders.
    struct Chain {
        std::uint64_t words = 0;
        std::size_t names = 0; // past maxAncestorNames: too long to tell from here
    };
    const std::size_t tooLong = maxAncestorNames + 1;
    return runSharded<Match>(
        *pool_, candidates.size(), [&](std::size_t from, std::size_t to, std::vector<Match>& out) {
            std::unordered_map<std::uint32_t, Chain> chains;
            std::vector<std::uint32_t> path;
            auto chainOf = [&](std::uint32_t folder) {
                path.clear();
                Chain above;
                for (std::uint32_t f = folder; isFolder(f); f = records[f].parentID) {
                    if (const auto it = chains.find(f); it != chains.end()) {
                        above = it->second;
                        break;
                    }
                    if (path.size() == maxAncestorNames) {
                        above.names = tooLong; // a chain this long (or a loop) is walked exactly
                        break;
                    }
                    path.push_back(f);
                }
                for (auto f = path.rbegin(); f != path.rend(); ++f) {
                    above = Chain{above.words | ownWords(*f), std::min(above.names + 1, tooLong)};
                    chains.emplace(*f, above);
                }
                return above;
            };
            // The words of up to 255 folders above a record, read one by one.
            auto wordsAbove = [&](std::uint32_t folder) {
                std::uint64_t words = 0;
                for (std::size_t names = 1; names < maxAncestorNames && isFolder(folder); ++names) {
                    words |= ownWords(folder);
                    folder = records[folder].parentID;
                }
                return words;
            };
            for (std::size_t i = from; i < to; ++i) {
                // Candidates lie far apart in the records: ask for their records early.
                if (i + 16 < to) __builtin_prefetch(&records[candidates[i + 16].match.id]);
                const WordsInName& c = candidates[i];
                std::uint64_t words = c.words;
                if (words != all) {
                    const std::uint32_t folder = records[c.match.id].parentID;
                    const Chain chain = chainOf(folder);
                    // The record's own name and up to 255 folders above it, as a folder word reads.
                    words |= chain.names < maxAncestorNames ? chain.words : wordsAbove(folder);
                }
                if (words == all) out.push_back(c.match);
            }
        });
}

// MARK: - Folder word

std::vector<Match> Matcher::pathOnlyMatch(std::string_view needle) {
    const std::size_t n = store_->count();
    if (n == 0) return {};
    const std::vector<std::uint64_t> bits = nameHoldsBits(needle);
    const FileRecord* records = store_->records();
    auto holds = [&](std::uint32_t id) { return (bits[id >> 6] >> (id & 63)) & 1; };
    return runSharded<Match>(
        *pool_, n, [&](std::size_t from, std::size_t to, std::vector<Match>& out) {
            for (std::size_t i = from; i < to; ++i) {
                const auto id = static_cast<std::uint32_t>(i);
                if (records[id].flags.contains(RecordFlags::deleted)) continue;
                bool found = holds(id);
                std::uint32_t parent = records[id].parentID;
                for (std::size_t steps = 0; !found && steps < maxAncestorNames; ++steps) {
                    if (parent == FileRecord::rootParentID || parent >= n) break;
                    found = holds(parent);
                    parent = records[parent].parentID;
                }
                if (found) out.push_back(Match{id, MatchQuality::substring, 0});
            }
        });
}

// MARK: - Record-local terms

namespace {

void compileOne(const Term& term, bool negated, Matcher::CompiledQuery& q) {
    using Kind = Matcher::CompiledTerm::Kind;
    Matcher::CompiledTerm c;
    c.negated = negated;
    auto appendText = [&](const std::string& text) {
        c.needleOffset = static_cast<std::uint32_t>(q.needles.size());
        c.needleLength = static_cast<std::uint32_t>(text.size());
        q.needles += SubstringScan::folded(text);
    };
    switch (term.kind()) {
    case Term::Kind::substring:
    case Term::Kind::exactPhrase:
        appendText(term.text());
        c.kind = negated ? Kind::booleanSubstring : Kind::scoredSubstring;
        break;
    case Term::Kind::ext:
        appendText(term.text());
        c.kind = Kind::ext;
        break;
    case Term::Kind::size:
        c.kind = Kind::size;
        c.size = term.sizeComparison();
        break;
    case Term::Kind::dateModified:
        c.kind = Kind::dateModified;
        c.dates = term.dateConstraint().range(std::time(nullptr));
        break;
    case Term::Kind::type:
        c.kind = Kind::type;
        c.type = term.typeConstraint();
        break;
    case Term::Kind::not_:
        compileOne(term.inner(), !negated, q);
        return;
    case Term::Kind::regex:
    case Term::Kind::pathContains:
    case Term::Kind::contains:
        return; // never record-local: the dispatch does not send them here
    }
    q.terms.push_back(c);
}

std::pair<std::size_t, std::size_t> compileRange(const std::vector<Term>& terms,
                                                 Matcher::CompiledQuery& q) {
    const std::size_t first = q.terms.size();
    for (const Term* t : cheapestFirst(terms))
        compileOne(*t, false, q);
    return {first, q.terms.size() - first};
}

} // namespace

std::vector<Match> Matcher::compiledWholeStore(const Query& query) {
    CompiledQuery compiled;
    compiled.andRange = compileRange(query.andTerms, compiled);
    for (const auto& group : query.orGroups)
        compiled.groupRanges.push_back(compileRange(group, compiled));
    const RecordEvaluator evaluator(*store_, resolver_);
    const FileRecord* records = store_->records();
    return runSharded<Match>(*pool_, store_->count(),
                             [&](std::size_t from, std::size_t to, std::vector<Match>& out) {
                                 for (std::size_t i = from; i < to; ++i) {
                                     const auto id = static_cast<std::uint32_t>(i);
                                     if (records[id].flags.contains(RecordFlags::deleted)) continue;
                                     const std::optional<Scored> best =
                                         compiled.groupRanges.empty()
                                             ? evaluator.scoreFast(compiled, compiled.andRange, id)
                                             : bestOf(compiled.groupRanges, [&](const auto& range) {
                                                   return evaluator.scoreFast(compiled, range, id);
                                               });
                                     if (best)
                                         out.push_back(Match{id, best->quality, best->offset});
                                 }
                             });
}

// MARK: - Regular expression

std::vector<Match> Matcher::soleRegex(const Query& query, const std::string& pattern) {
    const std::optional<std::string>& literal = regexLiteralFor(pattern);
    if (!literal) return recordByRecord(query, std::nullopt);
    const std::vector<Match> hits = soleWord(*literal);
    if (hits.empty()) return {};
    std::vector<std::uint32_t> ids(hits.size());
    std::transform(hits.begin(), hits.end(), ids.begin(), [](const Match& m) { return m.id; });
    return recordByRecord(query, std::span<const std::uint32_t>(ids));
}

// MARK: - Fuzzy fallback

std::vector<Match> Matcher::fuzzyScan(std::string_view needle, std::span<const Match> excluding) {
    const int minimum = FuzzyMatcher::minimumScore(needle.size());
    const FileRecord* records = store_->records();
    const bool ordered = namesInRecordOrder();
    // A name can only match when it holds every needle byte: the blob is scanned for the rarest
    // one, and only names holding all of them are scored.
    const SubstringScan::NeedleBytes needleBytes(store_->nameBlob(), needle);
    const char* const blobEnd = store_->nameBlob().data() + store_->nameBlob().size();
    std::vector<FuzzyHit> hits = runSharded<FuzzyHit>(
        *pool_, store_->count(), [&](std::size_t from, std::size_t to, std::vector<FuzzyHit>& out) {
            std::vector<std::uint32_t> holding;
            SubstringScan::recordsHoldingByte(*store_, static_cast<std::uint32_t>(from),
                                              static_cast<std::uint32_t>(to), needleBytes.rarest(),
                                              ordered, holding);
            for (const std::uint32_t id : holding) {
                const FileRecord& r = records[id];
                if (r.nameLen < needle.size() || r.flags.contains(RecordFlags::deleted)) continue;
                if (std::any_of(excluding.begin(), excluding.end(),
                                [&](const Match& m) { return m.id == id; }))
                    continue;
                const std::string_view name = store_->nameBytes(id);
                if (!needleBytes.allIn(name, static_cast<std::size_t>(blobEnd - name.data())))
                    continue;
                const auto result = FuzzyMatcher::match(needle, name);
                if (result && result->score >= minimum)
                    out.push_back(FuzzyHit{id, result->score, result->firstMatch});
            }
        });
    // Shards are joined in order, so equal scores keep record order.
    std::stable_sort(hits.begin(), hits.end(),
                     [](const FuzzyHit& a, const FuzzyHit& b) { return a.score > b.score; });
    const std::size_t kept = std::min(hits.size(), maxFuzzyResults);
    std::vector<Match> out;
    out.reserve(kept);
    for (std::size_t i = 0; i < kept; ++i)
        out.push_back(Match{hits[i].id, MatchQuality::fuzzy, hits[i].offset});
    return out;
}

} // namespace ulmaro
