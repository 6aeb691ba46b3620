#include "UlmaroAppKit/Search/FrecencyStore.h"

#include "UlmaroAppKit/Text/TextFormat.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace ulmaro {

using nlohmann::json;

FrecencyStore::FrecencyStore(std::shared_ptr<SettingsStore> settings, std::string key,
                             std::shared_ptr<TimerService> timers,
                             std::shared_ptr<const Clock> clock)
    : settings_(std::move(settings)), key_(std::move(key)), timers_(std::move(timers)),
      clock_(std::move(clock)) {
    load();
}

FrecencyStore::~FrecencyStore() = default;

namespace {

// The open count of a stored entry: a whole number, written as an integer or, by another
// writer, as 3.0; too large a count saturates. None for anything else.
std::optional<std::int64_t> storedOpenCount(const json& c) {
    constexpr std::int64_t most = std::numeric_limits<std::int64_t>::max();
    if (c.is_number_unsigned())
        return static_cast<std::int64_t>(std::min<std::uint64_t>(c.get<std::uint64_t>(), most));
    if (c.is_number_integer()) return c.get<std::int64_t>();
    if (!c.is_number_float()) return std::nullopt;
    const double value = c.get<double>();
    if (!std::isfinite(value) || std::trunc(value) != value) return std::nullopt;
    // 2^63 is the first double past the largest count.
    if (value >= 9223372036854775808.0) return most;
    if (value < -9223372036854775808.0) return std::nullopt;
    return static_cast<std::int64_t>(value);
}

} // namespace

void FrecencyStore::load() {
    const std::optional<std::string> text = settings_->dataValue(key_);
    if (!text) return;
    const json parsed = json::parse(*text, nullptr, false);
    if (!parsed.is_object()) return;
    // An entry that cannot be read is dropped alone: one bad record must not cost the
    // user every other path's history.
    decltype(entries_) loaded;
    for (const auto& [path, value] : parsed.items()) {
        if (!value.is_object()) continue;
        const auto c = value.find("c");
        const auto t = value.find("t");
        if (c == value.end() || t == value.end() || !t->is_number()) continue;
        const std::optional<std::int64_t> opens = storedOpenCount(*c);
        // A negative count has no score (the logarithm of zero or less).
        if (!opens || *opens < 0) continue;
        loaded.insert_or_assign(path, Frecency{*opens, dateFromReferenceSeconds(t->get<double>())});
    }
    entries_ = std::move(loaded);
}

void FrecencyStore::recordOpen(std::string_view path, WallTime at) {
    auto it = entries_.find(path);
    if (it == entries_.end()) it = entries_.emplace(std::string(path), Frecency{}).first;
    Frecency& frecency = it->second;
    if (frecency.openCount < std::numeric_limits<std::int64_t>::max()) ++frecency.openCount;
    frecency.lastOpened = at;
    prune(pruneLimit);
    schedulePersist();
}

std::optional<Frecency> FrecencyStore::frecency(std::string_view path) const {
    const auto it = entries_.find(path);
    if (it == entries_.end()) return std::nullopt;
    return it->second;
}

double FrecencyStore::boost(const Frecency& frecency, WallTime now) {
    return std::min(maxBoost, frecency.score(now) * maxBoost);
}

double FrecencyStore::boost(std::string_view path, WallTime now) const {
    const auto it = entries_.find(path);
    return it == entries_.end() ? 0 : boost(it->second, now);
}

FrecencyStore::BoostSnapshot FrecencyStore::boostSnapshot(WallTime now) const {
    BoostSnapshot snapshot;
    snapshot.reserve(entries_.size());
    for (const auto& [path, frecency] : entries_)
        snapshot.emplace(path, boost(frecency, now));
    return snapshot;
}

void FrecencyStore::prune(std::size_t limit) {
    if (entries_.size() <= limit) return;
    const WallTime now = clock_->now();
    const std::size_t keep = limit * 9 / 10;
    struct Scored {
        double score;
        const std::string* path;
    };
    std::vector<Scored> scored;
    scored.reserve(entries_.size());
    for (const auto& [path, frecency] : entries_)
        scored.push_back({frecency.score(now), &path});
    // Equal scores fall back on the path, so the same map always keeps the same paths.
    const auto better = [](const Scored& a, const Scored& b) {
        if (a.score != b.score) return a.score > b.score;
        return *a.path < *b.path;
    };
    std::nth_element(scored.begin(), scored.begin() + static_cast<std::ptrdiff_t>(keep),
                     scored.end(), better);
    decltype(entries_) kept;
    kept.reserve(keep);
    for (std::size_t i = 0; i < keep; ++i)
        kept.insert(entries_.extract(*scored[i].path));
    entries_ = std::move(kept);
}

void FrecencyStore::schedulePersist() {
    persistWork_.reset();
    persistWork_ = timers_->scheduleOnce(persistDelay, [this] { persist(); });
}

void FrecencyStore::flush() {
    persistWork_.reset();
    persist();
}

void FrecencyStore::persist() {
    json stored = json::object();
    for (const auto& [path, frecency] : entries_) {
        // JSON text cannot carry other bytes; such a path keeps its boost for this run.
        if (!isValidUtf8(path)) continue;
        stored[path] = {{"c", frecency.openCount},
                        {"t", secondsSinceReferenceDate(frecency.lastOpened)}};
    }
    settings_->setData(key_, stored.dump());
}

} // namespace ulmaro
