// The text budget of the content index: plain-text documents compete for a fixed
// number of files and bytes, newest first; extracted documents are never counted.
#include "UlmaroKit/Content/ContentIndexBuilder.h"

#include <algorithm>
#include <sys/stat.h>
#include <unordered_map>

namespace ulmaro {

const ContentIndexBuilder::TextBudget ContentIndexBuilder::TextBudget::standard{10000, 52428800};

std::unordered_set<std::string>
ContentIndexBuilder::keptWithinBudget(std::vector<Candidate> candidates, TextBudget budget) {
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) {
                         if (a.modified != b.modified) return a.modified > b.modified;
                         return a.path < b.path;
                     });
    std::unordered_set<std::string> kept;
    std::int64_t total = 0;
    for (auto& c : candidates) {
        if (static_cast<std::int64_t>(kept.size()) >= budget.files) break;
        total += c.bytes;
        if (total > budget.bytes) break;
        kept.insert(std::move(c.path));
    }
    return kept;
}

ContentIndexBuilder::Admission
ContentIndexBuilder::withinTextBudget(const std::vector<std::string>& newPaths,
                                      const ContentIndex& index, TextBudget budget) {
    std::unordered_map<std::string, std::pair<double, std::int64_t>> pool;
    for (const auto& doc : index.documents())
        if (isPlainText(doc.path)) pool[doc.path] = {doc.modified, doc.length};
    std::unordered_set<std::string> budgeted;
    for (const auto& path : newPaths) {
        if (!isPlainText(path)) continue;
        // Only what extraction will read competes: a regular file, not a link to one, that
        // is neither empty nor too large to be read.
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 1 ||
            st.st_size > maxFileBytes)
            continue;
        double modified =
            static_cast<double>(st.st_mtim.tv_sec) + static_cast<double>(st.st_mtim.tv_nsec) / 1e9;
        pool[path] = {modified, std::min<std::int64_t>(st.st_size, plainTextEstimateCap)};
        budgeted.insert(path);
    }
    std::vector<Candidate> candidates;
    candidates.reserve(pool.size());
    for (const auto& [path, entry] : pool)
        candidates.push_back({path, entry.first, entry.second});
    auto kept = keptWithinBudget(std::move(candidates), budget);

    Admission admission;
    for (const auto& path : newPaths)
        if (!budgeted.contains(path) || kept.contains(path)) admission.paths.push_back(path);
    for (const auto& doc : index.documents())
        if (isPlainText(doc.path) && !kept.contains(doc.path)) admission.displaced.insert(doc.path);
    return admission;
}

bool ContentIndexBuilder::enforceTextBudget(ContentIndex& index, TextBudget budget) {
    std::vector<Candidate> candidates;
    for (const auto& doc : index.documents())
        if (isPlainText(doc.path)) candidates.push_back({doc.path, doc.modified, doc.length});
    auto kept = keptWithinBudget(candidates, budget);
    std::unordered_set<std::string> remove;
    for (const auto& c : candidates)
        if (!kept.contains(c.path)) remove.insert(c.path);
    if (remove.empty()) return false;
    return index.remove(remove) > 0;
}

} // namespace ulmaro
