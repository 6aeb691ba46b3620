#include "UlmaroAppKit/Search/AppDirectory.h"

#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Platform/UnicodeText.h"
#include "UlmaroKit/Platform/WorkerPool.h"
#include "UlmaroKit/Scanning/AppRule.h"

#include <algorithm>

namespace ulmaro {
namespace {

constexpr bool isLowerOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

constexpr bool isUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string lowercased(std::string_view text) {
    if (!isAscii(text)) return UnicodeText::lowercased(text);
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
    return out;
}

std::vector<std::uint32_t> wordStarts(std::string_view folded, std::string_view unfolded) {
    std::vector<std::uint32_t> starts;
    const std::size_t n = std::min(folded.size(), unfolded.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (!isLowerOrDigit(folded[i])) continue;
        // A change from lower to upper case starts a word too ("PhotoTool").
        if (i == 0 || !isLowerOrDigit(folded[i - 1]) ||
            (isUpper(unfolded[i]) && unfolded[i - 1] >= 'a' && unfolded[i - 1] <= 'z'))
            starts.push_back(static_cast<std::uint32_t>(i));
    }
    return starts;
}

// Application IDs in record order, read in parallel: the flags of millions of records are
// the whole cost of building the directory.
std::vector<std::uint32_t> applicationIDs(const IndexStore& store) {
    constexpr std::size_t shard = 1 << 16;
    const std::size_t count = store.count();
    std::vector<std::vector<std::uint32_t>> found((count + shard - 1) / shard);
    parallelFor(found.size(), [&](std::size_t s) {
        const std::size_t end = std::min(count, (s + 1) * shard);
        for (std::size_t id = s * shard; id < end; ++id) {
            const RecordFlags flags = store[static_cast<std::uint32_t>(id)].flags;
            if (flags.contains(RecordFlags::isApp) && !flags.contains(RecordFlags::deleted))
                found[s].push_back(static_cast<std::uint32_t>(id));
        }
    });
    std::vector<std::uint32_t> ids;
    for (const auto& part : found)
        ids.insert(ids.end(), part.begin(), part.end());
    return ids;
}

bool spells(const AppDirectory::Entry& entry, std::string_view key) {
    std::size_t p = 0;
    for (std::size_t w = 0; w < entry.wordStarts.size(); ++w) {
        std::size_t i = entry.wordStarts[w];
        const std::size_t end =
            w + 1 < entry.wordStarts.size() ? entry.wordStarts[w + 1] : entry.folded.size();
        while (p < key.size() && i < end && entry.folded[i] == key[p]) {
            ++p;
            ++i;
        }
        if (p == key.size()) return true;
    }
    return false;
}

} // namespace

AppDirectory AppDirectory::build(const IndexStore& store) {
    AppDirectory directory;
    for (std::uint32_t id : applicationIDs(store)) {
        const std::string name = store.name(id);
        const std::string_view unfolded = appDisplayName(name);
        std::string folded = lowercased(unfolded);
        if (folded.empty()) continue;
        std::vector<std::uint32_t> starts = wordStarts(folded, unfolded);
        if (starts.empty()) continue;
        directory.entries_.push_back({id, std::move(folded), std::move(starts)});
    }
    return directory;
}

bool AppDirectory::admitsAliases(std::string_view text) {
    return !aliasKey(text).empty();
}

std::string AppDirectory::aliasKey(std::string_view text) {
    if (text.find_first_of(" :|!") != std::string_view::npos || text.starts_with('/')) return {};
    if (isAscii(text) ? text.size() < 2 : UnicodeText::graphemeCount(text) < 2) return {};
    std::string key = lowercased(text);
    if (!isAscii(key)) return {};
    return key;
}

std::vector<std::uint32_t> AppDirectory::aliases(std::string_view key) const {
    if (key.empty()) return {};
    struct Found {
        std::uint32_t id;
        std::size_t length;
    };
    std::vector<Found> found;
    for (const Entry& entry : entries_)
        if (spells(entry, key)) found.push_back({entry.id, entry.folded.size()});
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.length < b.length; });
    std::vector<std::uint32_t> ids;
    for (std::size_t i = 0; i < found.size() && i < maxAliases; ++i)
        ids.push_back(found[i].id);
    return ids;
}

} // namespace ulmaro
