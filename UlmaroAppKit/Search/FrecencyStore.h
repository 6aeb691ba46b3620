#pragma once

#include "UlmaroAppKit/Platform/Clock.h"
#include "UlmaroAppKit/Platform/SettingsStore.h"
#include "UlmaroAppKit/Platform/TimerService.h"
#include "UlmaroAppKit/Search/Frecency.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace ulmaro {

/// The paths the user opened from the panel, each with its `Frecency`, and the bounded
/// lift they get in relevance order. Stored under one settings key as the JSON text of an
/// object path → {"c": opens, "t": seconds since 2001}, written 2 s after the last change.
/// Main thread only.
class FrecencyStore {
public:
    static constexpr double maxBoost = 40.0;
    static constexpr std::size_t pruneLimit = 5000;
    static constexpr Seconds persistDelay{2.0};

    /// Boosts by path; looked up with views, without a copy of the path.
    struct PathHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view path) const {
            return std::hash<std::string_view>{}(path);
        }
    };
    using BoostSnapshot = std::unordered_map<std::string, double, PathHash, std::equal_to<>>;

    /// Loads what is stored under `key`; anything unreadable leaves the store empty.
    FrecencyStore(std::shared_ptr<SettingsStore> settings, std::string key,
                  std::shared_ptr<TimerService> timers, std::shared_ptr<const Clock> clock);
    ~FrecencyStore();

    FrecencyStore(const FrecencyStore&) = delete;
    FrecencyStore& operator=(const FrecencyStore&) = delete;

    /// One more open of the path at `at`; trims past 5000 paths and schedules a write.
    void recordOpen(std::string_view path, WallTime at);
    std::optional<Frecency> frecency(std::string_view path) const;
    /// min(40, 40 × score); 0 for a path never opened.
    double boost(std::string_view path, WallTime now) const;
    BoostSnapshot boostSnapshot(WallTime now) const;
    std::size_t count() const { return entries_.size(); }
    /// Writes now, in place of a pending write.
    void flush();

    /// Past `limit` paths keeps the best `limit` × 9 ÷ 10 by score at the current time.
    void prune(std::size_t limit);

private:
    static double boost(const Frecency& frecency, WallTime now);
    void load();
    void schedulePersist();
    void persist();

    std::unordered_map<std::string, Frecency, PathHash, std::equal_to<>> entries_;
    std::shared_ptr<SettingsStore> settings_;
    std::string key_;
    std::shared_ptr<TimerService> timers_;
    std::shared_ptr<const Clock> clock_;
    /// The pending write; the store owns it, so it never runs after the store is gone.
    std::unique_ptr<Timer> persistWork_;
};

} // namespace ulmaro
