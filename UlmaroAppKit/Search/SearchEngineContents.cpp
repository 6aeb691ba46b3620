#include "UlmaroAppKit/Search/SearchEngine.h"
#include "UlmaroKit/Content/ContentIndex.h"
#include "UlmaroKit/Content/ContentSearcher.h"
#include "UlmaroKit/Index/FastHash64.h"
#include "UlmaroKit/Search/QueryParser.h"

#include <cstdlib>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <variant>

namespace ulmaro {
namespace {

constexpr std::uint32_t contentIDRange = 100'000;

// Signed remainder, then its absolute value: the value lies in 0…99999.
std::uint32_t contentIDValue(std::string_view path) {
    const auto hash = static_cast<std::int64_t>(FastHash64::hash(path));
    return static_cast<std::uint32_t>(std::llabs(hash % contentIDRange));
}

std::string lastComponent(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

} // namespace

std::vector<std::uint32_t> SearchEngine::contentRowIDs(std::span<const std::string> paths) {
    // Selecting and opening go by ID, so no two rows of one list may share one: a value
    // already taken moves on to the next free one of the range.
    std::unordered_set<std::uint32_t> taken;
    std::vector<std::uint32_t> ids;
    ids.reserve(paths.size());
    for (const std::string& path : paths) {
        std::uint32_t value = contentIDValue(path);
        for (std::uint32_t probes = 0; taken.contains(value) && probes < contentIDRange; ++probes)
            value = (value + 1) % contentIDRange;
        taken.insert(value);
        ids.push_back(~value);
    }
    return ids;
}

std::vector<RankedRow> SearchEngine::applyContentFilter(std::vector<RankedRow> rows,
                                                        std::string_view text,
                                                        const std::function<bool()>& isCancelled) {
    const Query query = QueryParser::parse(text);
    if (!query.requiresContentScan()) return rows;
    const Query::ContentSplit split = query.splittingContentTerms();
    if (split.nameQuery.isEmpty() || split.contentNeedles.empty()) return rows;

    // Only the first files are read, in row order; the rows beyond them cannot be shown to
    // hold the text, so they go rather than pass unread.
    std::vector<std::string> candidates;
    std::unordered_set<std::string_view> distinct;
    std::size_t readable = 0;
    for (; readable < rows.size(); ++readable) {
        const std::string& path = rows[readable].path;
        if (distinct.contains(path)) continue;
        if (std::cmp_greater_equal(candidates.size(), ContentSearcher::maxCandidates)) break;
        distinct.insert(path);
        candidates.push_back(path);
    }
    rows.resize(readable);

    std::unordered_map<std::string, ContentSearcher::Hit> hitsByPath;
    for (const std::string& needle : split.contentNeedles) {
        const ContentSearcher::Outcome outcome =
            ContentSearcher::search(needle, candidates, /*caseSensitive=*/false,
                                    ContentSearcher::maxCandidates, isCancelled);
        const auto* found = std::get_if<ContentSearcher::Hits>(&outcome);
        std::vector<std::string> holding;
        if (found) {
            holding.reserve(found->hits.size());
            for (const ContentSearcher::Hit& hit : found->hits) {
                holding.push_back(hit.path);
                hitsByPath.try_emplace(hit.path, hit);
            }
        }
        candidates = std::move(holding);
        if (candidates.empty()) break;
    }

    const std::unordered_set<std::string_view> kept(candidates.begin(), candidates.end());
    std::vector<RankedRow> filtered;
    filtered.reserve(kept.size());
    for (RankedRow& row : rows) {
        if (!kept.contains(row.path)) continue;
        row.contentMatch = hitsByPath.at(row.path);
        filtered.push_back(std::move(row));
    }
    return filtered;
}

std::vector<RankedRow> SearchEngine::documentsContaining(std::span<const std::string> needles) {
    if (needles.empty() || !contentIndex_) return {};
    const std::shared_ptr<const ContentIndex> index = contentIndex_();
    if (!index || index->isEmpty()) return {};

    std::vector<ContentIndex::Hit> hits = index->search(needles.front(), documentsPerNeedle);
    for (const std::string& needle : needles.subspan(1)) {
        if (hits.empty()) break;
        std::unordered_set<std::string> holding;
        for (ContentIndex::Hit& hit : index->search(needle, documentsPerNeedle))
            holding.insert(std::move(hit.path));
        std::erase_if(hits,
                      [&](const ContentIndex::Hit& hit) { return !holding.contains(hit.path); });
    }

    std::vector<std::string> paths;
    paths.reserve(hits.size());
    for (const ContentIndex::Hit& hit : hits)
        paths.push_back(hit.path);
    const std::vector<std::uint32_t> ids = contentRowIDs(paths);

    std::vector<RankedRow> rows;
    rows.reserve(hits.size());
    for (std::size_t i = 0; i < hits.size(); ++i) {
        ContentIndex::Hit& hit = hits[i];
        RankedRow row{.id = ids[i], .name = lastComponent(hit.path), .path = hit.path};
        row.contentMatch =
            ContentSearcher::Hit{std::move(hit.path), hit.line, std::move(hit.preview)};
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace ulmaro
