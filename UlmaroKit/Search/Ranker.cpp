#include "UlmaroKit/Search/Ranker.h"

#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Platform/WorkerPool.h"
#include "UlmaroKit/Search/AncestorTable.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <string_view>

namespace ulmaro {

namespace {

constexpr std::array<std::string_view, 19> demotedNames = {"node_modules",   ".git",
                                                           "Caches",         "DerivedData",
                                                           "Pods",           ".build",
                                                           "build",          "dist",
                                                           "vendor",         "site-packages",
                                                           "Containers",     "Group Containers",
                                                           "TemporaryItems", "SyncedPreferences",
                                                           "Biome",          "CoreSimulator",
                                                           "Developer",      "Logs",
                                                           "CrashReporter"};

bool isDemotedName(std::string_view name) {
    for (auto d : demotedNames)
        if (d == name) return true;
    return false;
}

// The tables of the stores that rankers hold now. Engines are rebuilt whenever the live delta
// changes, over the same main store: the new ranker takes the old one's table.
class SharedTables {
public:
    std::shared_ptr<const AncestorTable> find(const IndexStore* store) {
        std::lock_guard lock(mutex_);
        std::erase_if(entries_, [](const Entry& e) { return e.table.expired(); });
        for (const Entry& e : entries_)
            if (const auto owner = e.store.lock(); owner.get() == store) return e.table.lock();
        return nullptr;
    }
    void add(const std::shared_ptr<const IndexStore>& store,
             const std::shared_ptr<const AncestorTable>& table) {
        std::lock_guard lock(mutex_);
        entries_.push_back({store, table});
    }

private:
    struct Entry {
        std::weak_ptr<const IndexStore> store;
        std::weak_ptr<const AncestorTable> table;
    };
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

SharedTables& sharedTables() {
    static auto* tables = new SharedTables; // never destroyed: rankers may outlive statics
    return *tables;
}

constexpr std::int32_t ancestorBudget = 256;
static_assert(AncestorTable::maxDepth == ancestorBudget);

} // namespace

struct Ranker::AncestorInfo {
    std::int32_t depth = 0;
    /// Nearest application among the directory and its ancestors: 0 for the directory
    /// itself, -1 when none was seen.
    std::int32_t appDistance = -1;
    bool demoted = false;         // some strict ancestor has a demoted name
    bool demotesChildren = false; // demoted, or the directory's own name is demoted
    bool complete = false;        // the walk reached a record without parent
};

/// Open addressing keyed by record ID: ranking a million matches does one lookup each, so
/// this must be far cheaper than a node-based map.
class Ranker::DirectoryCache {
    // Never a directory: IDs are below the record count, which is at most this.
    static constexpr std::uint32_t emptyKey = 0xFFFFFFFF;

public:
    DirectoryCache() { slots_.resize(1024); }

    const AncestorInfo* find(std::uint32_t key) const {
        for (std::size_t i = home(key);; i = (i + 1) & mask()) {
            const Slot& s = slots_[i];
            if (s.key == key) return &s.info;
            if (s.key == emptyKey) return nullptr;
        }
    }

    void prefetch(std::uint32_t key) const { __builtin_prefetch(&slots_[home(key)]); }

    void put(std::uint32_t key, const AncestorInfo& info) {
        if ((used_ + 1) * 2 > slots_.size()) grow();
        for (std::size_t i = home(key);; i = (i + 1) & mask()) {
            Slot& s = slots_[i];
            if (s.key == key) {
                s.info = info;
                return;
            }
            if (s.key == emptyKey) {
                s = {key, info};
                ++used_;
                return;
            }
        }
    }

    // Consecutive matches mostly share a folder: the last answer is kept at hand. Entries
    // are never changed once a walk has finished, so it cannot go stale.
    std::uint32_t lastKey = emptyKey;
    AncestorInfo lastInfo;

private:
    struct Slot {
        std::uint32_t key = emptyKey;
        AncestorInfo info;
    };

    std::size_t mask() const { return slots_.size() - 1; }
    // Folders of one region of the index have nearby IDs; keeping them in nearby slots turns
    // most lookups into cache hits. Record IDs carry no adversarial pattern to defend against.
    std::size_t home(std::uint32_t key) const { return (key ^ (key >> 20)) & mask(); }
    void grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        used_ = 0;
        for (const Slot& s : old)
            if (s.key != emptyKey) put(s.key, s.info);
    }

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

Ranker::Ranker(std::shared_ptr<const IndexStore> store)
    : store_(std::move(store)), directoryCache_(std::make_unique<DirectoryCache>()),
      ancestors_(sharedTables().find(store_.get())) {}
Ranker::~Ranker() = default;
Ranker::Ranker(Ranker&&) noexcept = default;
Ranker& Ranker::operator=(Ranker&&) noexcept = default;

const std::set<std::string>& Ranker::demotedPathComponents() {
    static const std::set<std::string> names(demotedNames.begin(), demotedNames.end());
    return names;
}

// Depth counts ancestors up to the root record; chains are followed at most 256 links from
// a record's parent, and a value cached while cut stays cached.
Ranker::AncestorInfo Ranker::ancestorInfo(std::uint32_t directory) {
    if (directoryCache_->lastKey == directory) return directoryCache_->lastInfo;
    const IndexStore& store = *store_;
    std::array<std::uint32_t, ancestorBudget + 1> chain;
    std::size_t k = 0;
    std::uint32_t cur = directory;
    std::int32_t budget = ancestorBudget;
    AncestorInfo below;
    for (;;) {
        if (const std::uint32_t w = ancestors_ ? ancestors_->word(cur) : 0;
            AncestorTable::known(w)) {
            const AncestorTable::FolderFacts facts = AncestorTable::folderFacts(w);
            below = {facts.depth, facts.appDistance, false, facts.demotesChildren, true};
            break;
        }
        if (const AncestorInfo* hit = directoryCache_->find(cur)) {
            below = *hit;
            break;
        }
        const FileRecord& r = store[cur];
        if (r.parentID == FileRecord::rootParentID || budget < 1) {
            below.depth = 0;
            below.demoted = false;
            below.demotesChildren = isDemotedName(store.nameBytes(cur));
            below.appDistance = r.flags.contains(RecordFlags::isApp) ? 0 : -1;
            below.complete = r.parentID == FileRecord::rootParentID;
            directoryCache_->put(cur, below);
            break;
        }
        chain[k++] = cur;
        cur = r.parentID;
        --budget;
    }
    while (k > 0) {
        const std::uint32_t node = chain[--k];
        AncestorInfo info;
        info.depth = below.depth + 1;
        info.demoted = below.demotesChildren;
        info.demotesChildren = info.demoted || isDemotedName(store.nameBytes(node));
        info.appDistance = store[node].flags.contains(RecordFlags::isApp) ? 0
                           : below.appDistance >= 0                       ? below.appDistance + 1
                                                                          : -1;
        info.complete = below.complete;
        directoryCache_->put(node, info);
        below = info;
    }
    directoryCache_->lastKey = directory;
    directoryCache_->lastInfo = below;
    return below;
}

bool Ranker::hasAppWithin256(std::uint32_t parent) const {
    const IndexStore& store = *store_;
    std::uint32_t cur = parent;
    for (int seen = 0; seen < ancestorBudget; ++seen) {
        const FileRecord& r = store[cur];
        if (r.flags.contains(RecordFlags::isApp)) return true;
        if (r.parentID == FileRecord::rootParentID) return false;
        cur = r.parentID;
    }
    return false;
}

// Scoring is bound by memory latency: the records of later matches and the cache slots of
// their parents are requested a few matches ahead, so the loads overlap.
void Ranker::prefetchAhead(std::span<const Match> matches, std::size_t i) const {
    constexpr std::size_t recordDistance = 16, slotDistance = 8;
    const IndexStore& store = *store_;
    if (i + recordDistance < matches.size()) {
        const std::uint32_t id = matches[i + recordDistance].id;
        if (id < store.count()) __builtin_prefetch(&store[id]);
    }
    if (i + slotDistance < matches.size()) {
        const std::uint32_t id = matches[i + slotDistance].id;
        if (id < store.count()) {
            const std::uint32_t parent = store[id].parentID;
            if (parent != FileRecord::rootParentID) directoryCache_->prefetch(parent);
        }
    }
}

std::int32_t Ranker::score(const Match& match) {
    const FileRecord& r = (*store_)[match.id];
    if (r.parentID == FileRecord::rootParentID) return scoreBelow(r, nullptr, match);
    const AncestorInfo parent = ancestorInfo(r.parentID);
    return scoreBelow(r, &parent, match);
}

std::int32_t Ranker::scoreBelow(const FileRecord& r, const AncestorInfo* parent,
                                const Match& match) const {
    const bool hidden = r.flags.contains(RecordFlags::isHidden);
    const bool app = r.flags.contains(RecordFlags::isApp);
    std::int32_t base = app ? (hidden ? 49800 : 50000) : (hidden ? -200 : 0);
    std::int32_t depth = 0;
    bool demoted = false;
    if (parent != nullptr) {
        depth = parent->depth + 1;
        demoted = parent->demotesChildren;
        if (!app) {
            // The parent is the first of the 256 ancestors looked at.
            const bool insideApp = parent->appDistance >= 0
                                       ? parent->appDistance < ancestorBudget
                                       : !parent->complete && hasAppWithin256(r.parentID);
            if (insideApp) base = hidden ? -40200 : -40000;
        }
    }
    const std::int32_t offsetPenalty = std::min<std::int32_t>(match.matchOffset, 100);
    return base - 10 * depth - (demoted ? 5000 : 0) - offsetPenalty;
}

namespace {

// The k best of a bucket by (score descending, input order ascending): what a sorted list of
// k with binary-search insertion keeps, here in a heap whose top is the weakest kept, so that
// no input order can make each step cost k.
struct Entry {
    std::int32_t score;
    std::size_t index;
};

bool better(const Entry& x, const Entry& y) {
    return x.score != y.score ? x.score > y.score : x.index < y.index;
}

struct TopK {
    std::size_t k = 0;
    std::vector<Entry> kept;

    void offer(const Entry& e) {
        if (kept.size() < k) {
            kept.push_back(e);
            std::push_heap(kept.begin(), kept.end(), better);
        } else if (better(e, kept.front())) {
            std::pop_heap(kept.begin(), kept.end(), better);
            kept.back() = e;
            std::push_heap(kept.begin(), kept.end(), better);
        }
    }
};

constexpr std::uint8_t notARecord = 0xFF;

// The bucket of a match: its quality, applications matched below substring lifted to 0.
std::uint8_t bucketOf(const IndexStore& store, const Match& m) {
    if (m.id >= store.count()) return notARecord;
    const std::uint8_t b = std::min<std::uint8_t>(rawValue(m.quality), 4);
    if (b > 0 && b < 3 && store[m.id].flags.contains(RecordFlags::isApp)) return 0;
    return b;
}

// `Ranker::score` from the table's word of the record.
std::int32_t scoreOf(const AncestorTable::RecordFacts& f, const Match& match) {
    const std::int32_t base = f.isApp       ? (f.isHidden ? 49800 : 50000)
                              : f.insideApp ? (f.isHidden ? -40200 : -40000)
                              : f.isHidden  ? -200
                                            : 0;
    const std::int32_t offsetPenalty = std::min<std::int32_t>(match.matchOffset, 100);
    return base - 10 * f.depth - (f.demoted ? 5000 : 0) - offsetPenalty;
}

} // namespace

std::vector<RankedResult> Ranker::rank(std::span<const Match> matches, std::int64_t limit) {
    if (limit < 1 || matches.empty()) return {};
    if (matches.size() >= parallelThreshold) return rankInParallel(matches, limit);
    const IndexStore& store = *store_;
    const std::size_t n = matches.size();

    std::vector<std::uint8_t> buckets(n);
    std::array<std::size_t, 5> counts{};
    constexpr std::size_t flagDistance = 32;
    for (std::size_t i = 0; i < n; ++i) {
        if (i + flagDistance < n) {
            const Match& ahead = matches[i + flagDistance];
            const auto q = rawValue(ahead.quality);
            if (q > 0 && q < 3 && ahead.id < store.count()) __builtin_prefetch(&store[ahead.id]);
        }
        buckets[i] = bucketOf(store, matches[i]);
        if (buckets[i] != notARecord) ++counts[buckets[i]];
    }

    std::vector<RankedResult> out;
    out.reserve(
        static_cast<std::size_t>(std::min<std::int64_t>(limit, static_cast<std::int64_t>(n))));
    TopK top;
    for (std::uint8_t b = 0; b < 5; ++b) {
        if (counts[b] == 0) continue;
        if (static_cast<std::int64_t>(out.size()) >= limit) break;
        top.k = static_cast<std::size_t>(std::min<std::int64_t>(
            limit - static_cast<std::int64_t>(out.size()), static_cast<std::int64_t>(counts[b])));
        top.kept.clear();
        top.kept.reserve(top.k);
        for (std::size_t i = 0; i < n; ++i) {
            prefetchAhead(matches, i);
            if (buckets[i] == b) top.offer({score(matches[i]), i});
        }
        std::sort_heap(top.kept.begin(), top.kept.end(), better);
        for (const Entry& e : top.kept)
            out.push_back({matches[e.index], e.score});
    }
    return out;
}

// The same answer as the serial road: each shard keeps its own k best of a bucket, and the
// k best of all are among them. Folders the table lacks (deeper than it goes, or in a loop)
// are scored afterwards on this thread, through the cache, as the serial road would.
std::vector<RankedResult> Ranker::rankInParallel(std::span<const Match> matches,
                                                 std::int64_t limit) {
    WorkerPool& pool = WorkerPool::shared();
    if (!ancestors_) ancestors_ = sharedTables().find(store_.get());
    if (!ancestors_) {
        ancestors_ = std::make_shared<const AncestorTable>(
            AncestorTable::build(*store_, isDemotedName, pool));
        sharedTables().add(store_, ancestors_);
    }
    const IndexStore& store = *store_;
    const AncestorTable& table = *ancestors_;
    const std::size_t n = matches.size();
    const std::size_t shards =
        std::clamp<std::size_t>(n / 8192, 1, std::size_t{pool.threadCount()} * 4);
    auto from = [&](std::size_t shard) { return n * shard / shards; };

    std::vector<std::uint8_t> buckets(n);
    std::vector<std::array<std::size_t, 5>> shardCounts(shards);
    pool.parallelFor(shards, [&](std::size_t s) {
        const std::size_t end = from(s + 1);
        for (std::size_t i = from(s); i < end; ++i) {
            const Match& m = matches[i];
            const std::uint32_t w = table.word(m.id);
            std::uint8_t b = notARecord;
            if (AncestorTable::known(w)) {
                b = std::min<std::uint8_t>(rawValue(m.quality), 4);
                if (b > 0 && b < 3 && AncestorTable::recordFacts(w).isApp) b = 0;
            } else {
                b = bucketOf(store, m);
            }
            buckets[i] = b;
            if (b != notARecord) ++shardCounts[s][b];
        }
    });
    std::array<std::size_t, 5> counts{};
    for (const auto& c : shardCounts)
        for (std::size_t b = 0; b < 5; ++b)
            counts[b] += c[b];

    std::vector<RankedResult> out;
    out.reserve(
        static_cast<std::size_t>(std::min<std::int64_t>(limit, static_cast<std::int64_t>(n))));
    std::vector<TopK> tops(shards);
    std::vector<std::vector<std::size_t>> unknown(shards);
    for (std::uint8_t b = 0; b < 5; ++b) {
        if (counts[b] == 0) continue;
        if (static_cast<std::int64_t>(out.size()) >= limit) break;
        const auto k = static_cast<std::size_t>(std::min<std::int64_t>(
            limit - static_cast<std::int64_t>(out.size()), static_cast<std::int64_t>(counts[b])));
        pool.parallelFor(shards, [&](std::size_t s) {
            TopK& top = tops[s];
            top.k = k;
            top.kept.clear();
            unknown[s].clear();
            constexpr std::size_t distance = 16;
            const std::size_t end = from(s + 1);
            for (std::size_t i = from(s); i < end; ++i) {
                if (i + distance < end && buckets[i + distance] == b)
                    table.prefetch(matches[i + distance].id);
                if (buckets[i] != b) continue;
                const std::uint32_t w = table.word(matches[i].id);
                if (AncestorTable::known(w))
                    top.offer({scoreOf(AncestorTable::recordFacts(w), matches[i]), i});
                else
                    unknown[s].push_back(i);
            }
        });
        TopK all{k, {}};
        for (std::size_t s = 0; s < shards; ++s) {
            for (const Entry& e : tops[s].kept)
                all.offer(e);
            for (std::size_t i : unknown[s])
                all.offer({score(matches[i]), i});
        }
        std::sort_heap(all.kept.begin(), all.kept.end(), better);
        for (const Entry& e : all.kept)
            out.push_back({matches[e.index], e.score});
    }
    return out;
}

} // namespace ulmaro
