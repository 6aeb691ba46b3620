#include "UlmaroAppKit/Search/SuggestionSeeder.h"

#include "UlmaroAppKit/Search/RowBuilding.h"
#include "UlmaroAppKit/Settings/XdgUserDirs.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/PathResolver.h"
#include "UlmaroKit/Platform/HugePages.h"
#include "UlmaroKit/Platform/UnicodeText.h"
#include "UlmaroKit/Search/Ranker.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
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
        : store_(store), resolver_(resolver), folders_(folders),
          memo_(std::make_unique_for_overwrite<std::uint32_t[]>(store.count())) {
        // A word per record, touched all over: huge pages spare a fault per 4 KiB.
        adviseHugePages(memo_.get(), store.count() * sizeof(std::uint32_t));
        std::fill_n(memo_.get(), store.count(), 0);
    }

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
        // Hidden folders hold caches, settings and the Trash, never the user's examples.
        const bool excluded = FolderKnowledge::excluded(up) || name.starts_with('.') ||
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
    std::unique_ptr<std::uint32_t[]> memo_;
    std::vector<std::uint32_t> chain_;
};

// The recognised extensions as words of up to eight lower-case bytes in a small table
// without collisions, so that testing a name costs one multiplication and one compare.
class ExtensionTable {
    static_assert(std::endian::native == std::endian::little, "names are read as words");

public:
    ExtensionTable() {
        std::vector<std::uint64_t> words;
        for (const std::string& extension : SuggestionSeeder::recognisableExtensions())
            words.push_back(*word(extension));
        // An odd multiplier that spreads these words over distinct slots; a few tries find
        // one for two dozen words in 256 slots.
        for (std::uint64_t multiplier = 0x9E3779B97F4A7C15ull;;
             multiplier += 0x2545F4914F6CDD1Eull) {
            multiplier_ = multiplier | 1;
            slots_.fill(empty);
            const bool apart = std::ranges::all_of(words, [&](std::uint64_t w) {
                std::uint64_t& slot = slots_[slotOf(w)];
                if (slot != empty) return false;
                slot = w;
                return true;
            });
            if (apart) break;
        }
    }

    bool recognises(std::string_view name) const {
        const std::size_t n = name.size();
        if (n < 2 || name.front() == '.') return false;
        // A recognised extension has at most seven bytes, so its dot lies among the last
        // eight: one word of them answers without a walk over the name.
        const std::size_t take = std::min<std::size_t>(n, 8);
        std::uint64_t tail = 0;
        std::memcpy(&tail, name.data() + n - take, take);
        const std::uint64_t dots = zeroBytes(tail ^ (ones * '.'));
        if (dots == 0) return false;
        const int last = (63 - std::countl_zero(dots)) / 8; // the last dot's byte
        const auto length = static_cast<std::size_t>(static_cast<int>(take) - 1 - last);
        if (length == 0) return false;
        const std::uint64_t packed = word(tail >> (8 * (last + 1)), length);
        return slots_[slotOf(packed)] == packed;
    }

private:
    static constexpr std::uint64_t ones = 0x0101010101010101ull;
    static constexpr std::uint64_t high = ones * 0x80;
    // No extension packs to all ones: its length bits would say 31.
    static constexpr std::uint64_t empty = ~std::uint64_t{0};

    /// The high bit of every zero byte, and of no other.
    static std::uint64_t zeroBytes(std::uint64_t x) {
        const std::uint64_t low7 = ones * 0x7F;
        return ~(((x & low7) + low7) | x | low7);
    }
    /// Up to seven bytes, first byte lowest, ASCII letters lowered, with their length.
    static std::uint64_t word(std::uint64_t bytes, std::size_t length) {
        const std::uint64_t low7 = bytes & (ones * 0x7F);
        const std::uint64_t atLeastA = low7 + ones * (0x80 - 'A');
        const std::uint64_t aboveZ = low7 + ones * (0x80 - 'Z' - 1);
        const std::uint64_t upper = (atLeastA ^ aboveZ) & ~bytes & high;
        return (bytes | upper >> 2) | std::uint64_t{length} << 59;
    }
    static std::optional<std::uint64_t> word(std::string_view extension) {
        if (extension.size() > 7) return std::nullopt;
        std::uint64_t bytes = 0;
        std::memcpy(&bytes, extension.data(), extension.size());
        return word(bytes, extension.size());
    }
    std::size_t slotOf(std::uint64_t word) const {
        return static_cast<std::size_t>((word * multiplier_) >> 56);
    }

    std::uint64_t multiplier_ = 0;
    std::array<std::uint64_t, 256> slots_{};
};

// The candidates in suggestion order: tier 1, tier 2, then the untiered, each by the depth
// of its folder and then in record order. A folder's files share its tier and depth, so
// picking one per folder never reads past the point where one depth holds three folders
// and six files; with `prefixOnly` a depth keeps no more than that.
class CandidateOrder {
public:
    explicit CandidateOrder(bool prefixOnly) : prefixOnly_(prefixOnly) {}

    void add(std::uint32_t folderKnowledge, std::uint32_t folder, std::uint32_t id) {
        std::vector<Depth>& tier = tiers_[rank(FolderKnowledge::tier(folderKnowledge))];
        const std::uint32_t depth = FolderKnowledge::depth(folderKnowledge);
        if (depth >= tier.size()) tier.resize(std::size_t{depth} + 1);
        Depth& at = tier[depth];
        if (prefixOnly_ && at.folderCount == folderLimit && at.ids.size() >= fileLimit) {
            cut_ = true;
            return;
        }
        at.ids.push_back(id);
        if (at.folderCount < folderLimit &&
            std::find(at.folders.begin(), at.folders.begin() + at.folderCount, folder) ==
                at.folders.begin() + at.folderCount)
            at.folders[at.folderCount++] = folder;
    }

    /// Whether some depth stopped taking files.
    bool cut() const { return cut_; }

    std::vector<std::uint32_t> ids() const {
        std::vector<std::uint32_t> all;
        for (const std::vector<Depth>& tier : tiers_)
            for (const Depth& depth : tier)
                all.insert(all.end(), depth.ids.begin(), depth.ids.end());
        return all;
    }

private:
    static constexpr std::size_t folderLimit = SuggestionSeeder::maxSuggestions;
    static constexpr std::size_t fileLimit = 2 * SuggestionSeeder::maxSuggestions;

    struct Depth {
        std::vector<std::uint32_t> ids;
        std::array<std::uint32_t, folderLimit> folders{};
        std::size_t folderCount = 0;
    };

    // Tier 1 first, then tier 2, then the untiered (tier 0).
    static std::size_t rank(int tier) { return tier == 0 ? 2 : static_cast<std::size_t>(tier - 1); }

    bool prefixOnly_;
    bool cut_ = false;
    std::array<std::vector<Depth>, 3> tiers_;
};

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

// `pickDiverse`; `unresolved` tells whether a candidate was passed over for want of a path.
std::vector<RankedRow> pick(std::span<const std::uint32_t> candidates, const IndexStore& store,
                            const PathResolver& resolver, bool& unresolved) {
    std::vector<RankedRow> rows;
    std::unordered_set<std::uint32_t> picked;
    std::unordered_set<std::uint32_t> usedFolders;
    auto take = [&](std::uint32_t id) {
        std::optional<std::string> path = resolver.rawAbsolutePath(id);
        if (!path) {
            unresolved = true;
            return false;
        }
        RankedRow row = RowBuilding::recordRow(store, id, id, std::move(*path));
        row.size = 0;
        row.mtime = 0;
        rows.push_back(std::move(row));
        picked.insert(id);
        return true;
    };
    const std::size_t wanted = SuggestionSeeder::maxSuggestions;
    for (const std::uint32_t id : candidates) {
        if (rows.size() >= wanted) break;
        if (!usedFolders.contains(store[id].parentID) && take(id))
            usedFolders.insert(store[id].parentID);
    }
    for (const std::uint32_t id : candidates) {
        if (rows.size() >= wanted) break;
        if (!picked.contains(id)) take(id);
    }
    return rows;
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
    const ExtensionTable extensions;
    auto scan = [&](bool prefixOnly) {
        CandidateOrder order(prefixOnly);
        std::uint32_t lastParent = FileRecord::rootParentID;
        std::uint32_t folder = 0;
        const FileRecord* records = store.records();
        const auto count = static_cast<std::uint32_t>(store.count());
        for (std::uint32_t id = 0; id < count; ++id) {
            const FileRecord& r = records[id];
            if (r.flags.contains(RecordFlags::deleted) ||
                r.flags.contains(RecordFlags::isDirectory) ||
                r.parentID == FileRecord::rootParentID ||
                !extensions.recognises(store.nameBytes(id)))
                continue;
            // A folder's entries lie side by side: most records ask for the folder just asked.
            if (r.parentID != lastParent) {
                lastParent = r.parentID;
                folder = info.of(r.parentID);
            }
            if (!FolderKnowledge::excluded(folder)) order.add(folder, r.parentID, id);
        }
        return order;
    };

    const CandidateOrder prefix = scan(true);
    std::vector<std::uint32_t> candidates = prefix.ids();
    if (candidates.empty()) candidates = applications(store, resolver);
    bool unresolved = false;
    std::vector<RankedRow> rows = pick(candidates, store, resolver, unresolved);
    // Only a file whose path cannot be built sends picking past the prefix.
    if (unresolved && prefix.cut()) rows = pickDiverse(scan(false).ids(), store, resolver);
    return {std::move(rows)};
}

std::vector<RankedRow> SuggestionSeeder::pickDiverse(std::span<const std::uint32_t> candidates,
                                                     const IndexStore& store,
                                                     const PathResolver& resolver) {
    bool unresolved = false;
    return pick(candidates, store, resolver, unresolved);
}

} // namespace ulmaro
