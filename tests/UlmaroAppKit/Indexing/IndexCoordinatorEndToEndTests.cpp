// The shell in small: every update builds a search engine over the published store and the
// live delta, as the application does, and a search finds what the coordinator indexed.
#include "CoordinatorHarness.h"
#include "UlmaroAppKit/Search/RemovedPaths.h"
#include "UlmaroAppKit/Search/SearchEngine.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using namespace test;

struct Shell {
    Harness& h;
    std::shared_ptr<SearchEngine> engine;
    int enginesBuilt = 0;

    explicit Shell(Harness& harness) : h(harness) {
        h.coordinator->onUpdate = [this](const State& state, const IndexCoordinator::Store& store) {
            h.updates.push_back(state);
            if (!store) return;
            LiveDelta& delta = h.coordinator->liveDelta();
            engine = SearchEngine::make(
                {.store = store,
                 .deltaStore = delta.store(),
                 .removedPaths = std::make_shared<const RemovedPaths>(delta.removed())},
                h.queues, std::shared_ptr<const Clock>(std::shared_ptr<void>(), &h.clock));
            ++enginesBuilt;
        };
    }

    std::vector<std::string> find(const std::string& text) {
        std::vector<std::string> paths;
        if (!engine) return paths;
        engine->search(text, [&](SearchOutcome outcome, std::int64_t) {
            if (const auto* results = outcome.resultsIfAny())
                for (const RankedRow& row : results->rows)
                    paths.push_back(row.path);
        });
        h.settle();
        return paths;
    }
};

bool contains(const std::vector<std::string>& paths, const std::filesystem::path& path) {
    return std::find(paths.begin(), paths.end(), path.string()) != paths.end();
}

TEST(IndexCoordinatorEndToEnd, AFileOfTheTreeIsFoundAfterStart) {
    Harness h;
    Shell shell(h);
    h.coordinator->start();
    EXPECT_TRUE(shell.find("beta").empty()); // nothing served while the first build runs
    h.settle();
    ASSERT_TRUE(std::holds_alternative<Ready>(h.coordinator->state()));
    EXPECT_TRUE(contains(shell.find("beta"), h.root / "docs" / "beta.md"));

    // A second start serves the written index at once, before any scan.
    h.make();
    Shell again(h);
    h.coordinator->start();
    EXPECT_EQ(again.enginesBuilt, 1);
    EXPECT_TRUE(contains(again.find("alpha"), h.root / "alpha.txt"));
}

} // namespace
} // namespace ulmaro
