#include "UlmaroAppKit/Search/SuggestionSeeder.h"

#include "UlmaroAppKit/Search/RowBuilding.h"
#include "UlmaroAppKit/Settings/XdgUserDirs.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/PathResolver.h"
#include "UlmaroKit/Platform/UnicodeText.h"
#include "UlmaroKit/Search/Ranker.h"

#include <algorithm>
#include <array>
#include <unordered_set>
#include <utility>

namespace ulmaro {
namespace {

constexpr std::size_t appFallbackCount = 24;

// What is known of one folder, packed into one word so that a table over every record of
// a large index stays small: known, excluded, tier (0 for none) and depth.
class FolderKnowledge {
public:
    static constexpr std::uint32_t knownBit = 1u << 31;
    static constexpr std::uint32_t excludedBit = 1u << 30;
    static constexpr int tierShift = 28;
    static constexpr std::uint32_t depthMask = (1u << tierShift) - 1;

    static std::uint32_t pack(bool excluded, int tier, std::uint32_t depth) {
        return knownBit | (excluded ? excludedBit : 0) |
               (static_cast<std::uint32_t>(tier) << tierShift) | (depth & depthMask);
    }
    static bool excluded(std::uint32_t info) { return (info & excludedBit) != 0; }
    static int tier(std::uint32_t info) { return static_cast<int>((info >> tierShift) & 3); }
    static std::uint32_t depth(std::uint32_t info) { return info & depthMask; }
};

// One call's folder knowledge, memoised per folder: the walk up the parents is paid once
// per folder, and paths are built only for folders named like a well-known one.
class FolderInfo {
public:
    FolderInfo(const IndexStore& store, const PathResolver& resolver,
               std::span<const SuggestionSeeder::WellKnownFolder> folders)
        : store_(store), resolver_(resolver), folders_(folders), memo_(store.count(), 0) {}

    std::uint32_t of(std::uint32_t folder) {
        if (const std::uint32_t known = memo_[folder]; known != 0) return known;
        chain_.clear();
        std::uint32_t at = folder;
        while (memo_[at] == 0) {
            chain_.push_back(at);
            const std::uint32_t parent = store_[at].parentID;
            if (parent == FileRecord::rootParentID) break;
            // A parent chain this long is a cycle: nothing below it is ever suggested.
            if (chain_.size() > PathResolver::maxDepth) {
                for (const std::uint32_t id : chain_)
                    memo_[id] = FolderKnowledge::pack(true, 0, 0);
                return memo_[folder];
            }
            at = parent;
        }
        for (auto it = chain_.rbegin(); it != chain_.rend(); ++it)
            memo_[*it] = knowledge(*it);
        return memo_[folder];
    }

private:
    // The parent's answer is known when this runs.
    std::uint32_t knowledge(std::uint32_t folder) const {
        const std::uint32_t parent = store_[folder].parentID;
        if (parent == FileRecord::rootParentID) return FolderKnowledge::pack(false, 0, 0);
        const std::uint32_t up = memo_[parent];
        const std::string_view name = store_.nameBytes(folder);
        int tier = FolderKnowledge::tier(up);
        if (tier == 0) tier = wellKnownTier(folder, name);
        const bool excluded = FolderKnowledge::excluded(up) ||
                              SuggestionSeeder::excludedPathComponents().contains(name);
        return FolderKnowledge::pack(excluded, tier, FolderKnowledge::depth(up) + 1);
    }

    int wellKnownTier(std::uint32_t folder, std::string_view name) const {
        int tier = 0;
        std::optional<std::string> path;
        for (const SuggestionSeeder::WellKnownFolder& known : folders_) {
            const std::string_view knownPath = known.path;
            const std::size_t slash = knownPath.rfind('/');
            if (slash == std::string_view::npos || knownPath.substr(slash + 1) != name) continue;
            if (!path) path = resolver_.rawAbsolutePath(folder);
            if (path && *path == knownPath && (tier == 0 || known.tier < tier)) tier = known.tier;
        }
        return tier;
    }

    const IndexStore& store_;
    const PathResolver& resolver_;
    std::span<const SuggestionSeeder::WellKnownFolder> folders_;
    std::vector<std::uint32_t> memo_;
    std::vector<std::uint32_t> chain_;
};

bool isRecognised(std::string_view name) {
    if (name.empty() || name.front() == '.') return false;
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot + 1 == name.size()) return false;
    const std::string_view extension = name.substr(dot + 1);
    std::array<char, 8> lower{};
    if (extension.size() > lower.size()) return false;
    for (std::size_t i = 0; i < extension.size(); ++i) {
        const char c = extension[i];
        lower[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c;
    }
    return SuggestionSeeder::recognisableExtensions().contains(
        std::string_view(lower.data(), extension.size()));
}

// Applications nested in another application's bundle are parts of it, not programs of
// their own to suggest.
bool insideBundle(const IndexStore& store, std::uint32_t id) {
    std::uint32_t at = store[id].parentID;
    for (std::size_t steps = 0; at != FileRecord::rootParentID; ++steps) {
        if (steps > PathResolver::maxDepth) return true;
        if (store.nameBytes(at).ends_with(".app")) return true;
        at = store[at].parentID;
    }
    return false;
}

std::vector<std::uint32_t> applications(const IndexStore& store, const PathResolver& resolver) {
    struct App {
        std::uint32_t id;
        std::size_t characters;
    };
    std::vector<App> apps;
    const auto count = static_cast<std::uint32_t>(store.count());
    for (std::uint32_t id = 0; id < count && apps.size() < appFallbackCount; ++id) {
        const RecordFlags flags = store[id].flags;
        if (!flags.contains(RecordFlags::isApp) || flags.contains(RecordFlags::isHidden) ||
            flags.contains(RecordFlags::deleted) || insideBundle(store, id))
            continue;
        const std::optional<std::string> path = resolver.absolutePath(id);
        if (!path) continue;
        apps.push_back({id, UnicodeText::graphemeCount(*path)});
    }
    std::stable_sort(apps.begin(), apps.end(),
                     [](const App& a, const App& b) { return a.characters < b.characters; });
    std::vector<std::uint32_t> ids;
    ids.reserve(apps.size());
    for (const App& app : apps)
        ids.push_back(app.id);
    return ids;
}

} // namespace

const std::set<std::string, std::less<>>& SuggestionSeeder::recognisableExtensions() {
    static const std::set<std::string, std::less<>> extensions = {
        "pdf",     "doc", "docx", "xls",  "xlsx", "ppt",  "pptx", "pages",
        "numbers", "key", "jpg",  "jpeg", "png",  "heic", "gif",  "mp4",
        "mov",     "mp3", "m4a",  "wav",  "zip",  "csv",  "txt",  "md"};
    return extensions;
}

const std::set<std::string, std::less<>>& SuggestionSeeder::excludedPathComponents() {
    static const std::set<std::string, std::less<>> components = [] {
        std::set<std::string, std::less<>> names(Ranker::demotedPathComponents().begin(),
                                                 Ranker::demotedPathComponents().end());
        names.insert("Library");
        return names;
    }();
    return components;
}

std::vector<SuggestionSeeder::WellKnownFolder>
SuggestionSeeder::wellKnownFolders(std::string_view homeDirectoryPath) {
    struct Known {
        std::string_view xdgName;
        std::string_view englishName;
        int tier;
    };
    static constexpr std::array<Known, 6> known = {{{"DESKTOP", "Desktop", 1},
                                                    {"DOCUMENTS", "Documents", 1},
                                                    {"DOWNLOAD", "Downloads", 1},
                                                    {"MUSIC", "Music", 2},
                                                    {"PICTURES", "Pictures", 2},
                                                    {"VIDEOS", "Videos", 2}}};
    const std::string home(homeDirectoryPath);
    std::vector<WellKnownFolder> folders;
    for (const Known& k : known) {
        std::string path =
            XdgUserDirs::find(k.xdgName).value_or(home + "/" + std::string(k.englishName));
        while (path.size() > 1 && path.ends_with('/'))
            path.pop_back();
        const std::size_t slash = path.rfind('/');
        if (slash == std::string::npos || std::string_view(path).substr(0, slash) != home ||
            slash + 1 == path.size())
            continue;
        folders.push_back({std::move(path), k.tier});
    }
    return folders;
}

SuggestionSeeder::Suggestions SuggestionSeeder::seed(const IndexStore& store,
                                                     std::string_view homeDirectoryPath) {
    const std::vector<WellKnownFolder> folders = wellKnownFolders(homeDirectoryPath);
    return seed(store, folders);
}

SuggestionSeeder::Suggestions SuggestionSeeder::seed(const IndexStore& store,
                                                     std::span<const WellKnownFolder> folders) {
    const PathResolver resolver(store);
    FolderInfo info(store, resolver, folders);
    struct Candidate {
        std::uint32_t depth;
        std::uint32_t id;
    };
    std::array<std::vector<Candidate>, 3> tiers; // untiered, tier 1, tier 2
    const FileRecord* records = store.records();
    const auto count = static_cast<std::uint32_t>(store.count());
    for (std::uint32_t id = 0; id < count; ++id) {
        const FileRecord& r = records[id];
        if (r.flags.contains(RecordFlags::deleted) || r.flags.contains(RecordFlags::isDirectory))
            continue;
        if (r.parentID == FileRecord::rootParentID || !isRecognised(store.nameBytes(id))) continue;
        const std::uint32_t folder = info.of(r.parentID);
        if (FolderKnowledge::excluded(folder)) continue;
        tiers[static_cast<std::size_t>(FolderKnowledge::tier(folder))].push_back(
            {FolderKnowledge::depth(folder), id});
    }

    std::vector<std::uint32_t> candidates;
    for (const std::size_t tier : {1, 2, 0}) {
        std::stable_sort(tiers[tier].begin(), tiers[tier].end(),
                         [](const Candidate& a, const Candidate& b) { return a.depth < b.depth; });
        for (const Candidate& c : tiers[tier])
            candidates.push_back(c.id);
    }
    if (candidates.empty()) candidates = applications(store, resolver);
    return {pickDiverse(candidates, store, resolver)};
}

std::vector<RankedRow> SuggestionSeeder::pickDiverse(std::span<const std::uint32_t> candidates,
                                                     const IndexStore& store,
                                                     const PathResolver& resolver) {
    std::vector<RankedRow> rows;
    std::unordered_set<std::uint32_t> picked;
    std::unordered_set<std::uint32_t> usedFolders;
    auto take = [&](std::uint32_t id) {
        std::optional<std::string> path = resolver.rawAbsolutePath(id);
        if (!path) return false;
        RankedRow row = RowBuilding::recordRow(store, id, id, std::move(*path));
        row.size = 0;
        row.mtime = 0;
        rows.push_back(std::move(row));
        picked.insert(id);
        return true;
    };
    for (const std::uint32_t id : candidates) {
        if (rows.size() >= maxSuggestions) break;
        if (!usedFolders.contains(store[id].parentID) && take(id))
            usedFolders.insert(store[id].parentID);
    }
    for (const std::uint32_t id : candidates) {
        if (rows.size() >= maxSuggestions) break;
        if (!picked.contains(id)) take(id);
    }
    return rows;
}

} // namespace ulmaro
