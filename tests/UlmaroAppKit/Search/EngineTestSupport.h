#pragma once

#include "FixtureIndex.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Search/SearchEngine.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace ulmaro::test {

/// Engines over manual queues and virtual time: a test decides when searches run.
struct EngineHarness {
    ManualSerialQueueFactory queues;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();

    std::shared_ptr<SearchEngine> make(SearchEngine::Inputs inputs) {
        return SearchEngine::make(std::move(inputs), queues, clock);
    }
    ManualSerialQueue& queueOf() { return *queues.queues().back(); }

    /// Searches and runs the engine's queue until the outcome is in.
    SearchOutcome run(SearchEngine& engine, std::string text) {
        std::optional<SearchOutcome> got;
        engine.search(std::move(text),
                      [&](SearchOutcome outcome, std::int64_t) { got = std::move(outcome); });
        queues.drainAll();
        return got.value();
    }
};

inline std::vector<std::string> pathsOf(const SearchOutcome& outcome) {
    std::vector<std::string> paths;
    if (const auto* results = outcome.resultsIfAny())
        for (const RankedRow& row : results->rows)
            paths.push_back(row.path);
    return paths;
}

inline bool lists(const SearchOutcome& outcome, std::string_view path) {
    const auto paths = pathsOf(outcome);
    return std::find(paths.begin(), paths.end(), path) != paths.end();
}

} // namespace ulmaro::test
