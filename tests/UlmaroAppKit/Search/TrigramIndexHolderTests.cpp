#include "EngineTestSupport.h"
#include "UlmaroAppKit/Search/TrigramIndexHolder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <latch>
#include <map>
#include <thread>

namespace ulmaro {
namespace {

using test::EngineHarness;
using test::FixtureIndex;
using test::TempDir;
using Index = TrigramIndexHolder::Index;

/// A store of a few hundred names, and the trigram index built from it.
struct Fixture {
    FixtureIndex files;
    std::shared_ptr<const IndexStore> store = [this] {
        for (int i = 0; i < 300; ++i)
            files.add("/home/u/report-" + std::to_string(i) + ".pdf");
        return files.open();
    }();
    std::uint64_t key = store->header().checksum;
    TrigramIndex built =
        *TrigramIndex::build([this](std::uint32_t id) { return store->nameBytes(id); },
                             static_cast<std::uint32_t>(store->count()));

    /// Build queues made so far (the engines' own queues are "app.ulmaro.search-engine").
    static std::size_t builds(const ManualSerialQueueFactory& queues) {
        return static_cast<std::size_t>(
            std::ranges::count_if(queues.queues(), [](const auto& queue) {
                return queue->label() == SearchEngine::buildQueueLabel;
            }));
    }
};

TEST(TrigramIndexHolder, EnginesAskingDuringABuildShareItAndAReadyKeyInstallsAtOnce) {
    Fixture fx;
    EngineHarness harness;
    const auto holder = std::make_shared<TrigramIndexHolder>();
    const auto first = harness.make({.store = fx.store});
    const auto second = harness.make({.store = fx.store});
    first->useTrigramIndex(holder, harness.queues);
    second->useTrigramIndex(holder, harness.queues);
    EXPECT_EQ(Fixture::builds(harness.queues), 1u);
    EXPECT_EQ(holder->building(), fx.key);

    harness.queues.drainAll();
    ASSERT_NE(holder->current(), nullptr);
    EXPECT_EQ(*holder->current(), fx.built);
    EXPECT_EQ(first->trigrams(), holder->current()) << "shared, not copied";
    EXPECT_EQ(second->trigrams(), holder->current());
    EXPECT_EQ(holder->building(), std::nullopt);

    // A third engine of the same store gets it on its queue, with no build.
    const auto third = harness.make({.store = fx.store});
    third->useTrigramIndex(holder, harness.queues);
    EXPECT_EQ(Fixture::builds(harness.queues), 1u);
    EXPECT_EQ(third->trigrams(), nullptr) << "only on the engine's queue";
    harness.queues.drainAll();
    EXPECT_EQ(third->trigrams(), holder->current());

    // Searches find the same with the prefilter as without it.
    const auto bare = harness.make({.store = fx.store});
    EXPECT_EQ(test::pathsOf(harness.run(*third, "report-12")),
              test::pathsOf(harness.run(*bare, "report-12")));
}

TEST(TrigramIndexHolder, WaitersGetTheirOwnKeysIndexInTheOrderTheyAsked) {
    const auto clock = std::make_shared<ManualClock>();
    TrigramIndexHolder holder(std::nullopt, clock);
    std::vector<std::string> calls;
    auto install = [&](std::string who) {
        return [&calls, who](Index index) {
            calls.push_back(who + ":" + std::to_string(index->blockCount()));
        };
    };
    TrigramIndex a;
    TrigramIndex b =
        *TrigramIndex::build([](std::uint32_t) { return std::string_view("abcd"); }, 5000);
    ASSERT_EQ(b.blockCount(), 5u);

    EXPECT_TRUE(holder.request(1, install("a1")));
    EXPECT_FALSE(holder.request(1, install("a2")));
    // Another key takes the mark over; the running build goes on.
    EXPECT_TRUE(holder.request(2, install("b1")));
    EXPECT_FALSE(holder.request(2, install("b2")));
    EXPECT_EQ(holder.building(), 2u);

    holder.finishBuild(std::make_shared<const TrigramIndex>(a), 1);
    EXPECT_EQ(calls, (std::vector<std::string>{"a1:0", "a2:0"}));
    EXPECT_EQ(holder.building(), 2u);
    EXPECT_EQ(holder.currentKey(), 1u) << "the old key's index until the new one is done";

    holder.finishBuild(std::make_shared<const TrigramIndex>(b), 2);
    EXPECT_EQ(calls, (std::vector<std::string>{"a1:0", "a2:0", "b1:5", "b2:5"}));
    EXPECT_EQ(holder.building(), std::nullopt);
    EXPECT_EQ(holder.currentKey(), 2u);

    // A build that could not finish lets a later request build again.
    EXPECT_TRUE(holder.request(3, install("c1")));
    holder.abandonBuild(3);
    EXPECT_EQ(holder.building(), std::nullopt);
    clock->advance(TrigramIndexHolder::firstBackoff);
    EXPECT_TRUE(holder.request(3, install("c2")));
    holder.finishBuild(std::make_shared<const TrigramIndex>(a), 3);
    EXPECT_EQ(calls, (std::vector<std::string>{"a1:0", "a2:0", "b1:5", "b2:5", "c2:0"}))
        << "the abandoned waiter is never called";
}

TEST(TrigramIndexHolder, AfterRunningOutOfMemoryBuildsBackOff) {
    const auto clock = std::make_shared<ManualClock>();
    TrigramIndexHolder holder(std::nullopt, clock);
    int installed = 0;
    const auto install = [&](TrigramIndexHolder::Index) { ++installed; };

    // Each failure in a row doubles the pause, up to an hour; engines made meanwhile (one
    // per change of the delta) start nothing.
    const std::pair<int, int> pauses[] = {{1, 60}, {2, 120}, {3, 240}, {7, 3600}, {8, 3600}};
    int failures = 0;
    for (const auto& [failure, seconds] : pauses) {
        while (failures < failure) {
            clock->advance(TrigramIndexHolder::longestBackoff);
            ASSERT_TRUE(holder.request(1, install));
            holder.abandonBuild(1);
            ++failures;
        }
        clock->advance(Seconds(seconds - 1));
        EXPECT_FALSE(holder.request(1, install)) << failure;
        EXPECT_FALSE(holder.request(2, install)) << "another key waits too";
        EXPECT_EQ(holder.building(), std::nullopt);
        clock->advance(Seconds(1));
        EXPECT_TRUE(holder.request(1, install)) << failure;
        holder.abandonBuild(1);
        ++failures;
    }

    // A build that finishes ends the backoff.
    clock->advance(TrigramIndexHolder::longestBackoff);
    ASSERT_TRUE(holder.request(1, install));
    holder.finishBuild(std::make_shared<const TrigramIndex>(), 1);
    EXPECT_EQ(installed, 1);
    EXPECT_TRUE(holder.request(2, install));
    holder.abandonBuild(2);
    EXPECT_FALSE(holder.request(1, install));
    EXPECT_EQ(installed, 2) << "an index held installs during a pause";
    clock->advance(TrigramIndexHolder::firstBackoff);
    EXPECT_TRUE(holder.request(2, install)) << "the pause starts again from a minute";
}

TEST(TrigramIndexHolder, OnRealThreadsCallbacksRunOutsideTheLockInRequestOrder) {
    TrigramIndexHolder holder;
    std::mutex mutex;
    std::vector<int> order;
    auto install = [&](int who) {
        return [&, who](Index index) {
            // Asking the holder again inside a callback would hang under its lock.
            EXPECT_EQ(holder.current(), index);
            std::lock_guard lock(mutex);
            order.push_back(who);
        };
    };
    std::latch requested(1);
    std::latch waiting(1);
    std::thread builder([&] {
        EXPECT_TRUE(holder.request(7, install(1)));
        requested.count_down();
        waiting.wait();
        holder.finishBuild(std::make_shared<const TrigramIndex>(), 7);
    });
    requested.wait();
    std::thread second([&] { EXPECT_FALSE(holder.request(7, install(2))); });
    second.join();
    waiting.count_down();
    builder.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_FALSE(holder.request(7, install(3)));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(TrigramIndexHolder, TheCacheFileIsLoadedForItsStoreAndRewrittenForAnother) {
    Fixture fx;
    TempDir dir;
    const auto cache = TrigramIndexHolder::defaultCacheURL(dir / "index.bin");
    EXPECT_EQ(cache, dir / "trigrams.bin");
    // A cache whose blocks say nothing of these names: loading it is visible.
    const TrigramIndex foreign =
        *TrigramIndex::build([](std::uint32_t) { return std::string_view("zzzz"); },
                             static_cast<std::uint32_t>(fx.store->count()));
    ASSERT_NE(foreign, fx.built);

    struct Case {
        const char* what;
        std::optional<std::uint64_t> writtenFor; // none: no file
        bool withCache;
        bool loads;
    };
    const Case cases[] = {
        {"no cache location", std::nullopt, false, false},
        {"no file yet", std::nullopt, true, false},
        {"a file of this store", fx.key, true, true},
        {"a file of another store", fx.key + 1, true, false},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(cache);
        if (c.writtenFor) foreign.write(cache, *c.writtenFor);
        EngineHarness harness;
        const auto holder =
            std::make_shared<TrigramIndexHolder>(c.withCache ? std::optional(cache) : std::nullopt);
        const auto engine = harness.make({.store = fx.store});
        engine->useTrigramIndex(holder, harness.queues);
        harness.queues.drainAll();
        EXPECT_EQ(*holder->current(), c.loads ? foreign : fx.built) << c.what;
        // What the holder built is what the next launch loads.
        if (c.withCache) {
            EXPECT_EQ(
                TrigramIndex::load(cache, fx.key, static_cast<std::uint32_t>(fx.store->count())),
                *holder->current())
                << c.what;
        }
    }

    // A cache that cannot be written changes nothing else.
    EngineHarness harness;
    const auto holder = std::make_shared<TrigramIndexHolder>(dir / "missing" / "trigrams.bin");
    const auto engine = harness.make({.store = fx.store});
    engine->useTrigramIndex(holder, harness.queues);
    harness.queues.drainAll();
    EXPECT_EQ(engine->trigrams(), holder->current());
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(TrigramIndexHolder, AnEngineGoneBeforeItsIndexArrivesLeavesItForTheNext) {
    Fixture fx;
    EngineHarness harness;
    const auto holder = std::make_shared<TrigramIndexHolder>();
    auto engine = harness.make({.store = fx.store});
    std::weak_ptr<SearchEngine> gone = engine;
    engine->useTrigramIndex(holder, harness.queues);
    engine.reset();
    EXPECT_TRUE(gone.expired()) << "a waiting build holds no engine";
    harness.queues.drainAll();
    EXPECT_EQ(*holder->current(), fx.built);

    const auto next = harness.make({.store = fx.store});
    next->useTrigramIndex(holder, harness.queues);
    harness.queues.drainAll();
    EXPECT_EQ(next->trigrams(), holder->current());
    EXPECT_EQ(Fixture::builds(harness.queues), 1u);
}

TEST(TrigramIndexHolder, EachCatalogGetsItsOwnHoldersIndex) {
    Fixture fx;
    FixtureIndex other;
    other.add("/media/Disk/photo.jpg");
    const auto otherStore = other.open();
    EngineHarness harness;
    const auto engine = harness.make(
        {.store = fx.store,
         .catalogs = {{.id = "disk", .name = "Disk", .store = otherStore, .recordedRoot = "/"},
                      {.id = "none", .name = "None", .store = otherStore, .recordedRoot = "/"},
                      {.id = "home", .name = "Home", .store = fx.store, .recordedRoot = "/"}}});
    std::map<std::string, std::shared_ptr<TrigramIndexHolder>, std::less<>> holders{
        {"disk", std::make_shared<TrigramIndexHolder>()},
        {"home", std::make_shared<TrigramIndexHolder>()}};
    engine->useCatalogTrigramIndexes(
        [&](std::string_view id) -> std::shared_ptr<TrigramIndexHolder> {
            const auto it = holders.find(id);
            return it == holders.end() ? nullptr : it->second;
        },
        harness.queues);
    harness.queues.drainAll();
    EXPECT_EQ(engine->catalogTrigrams(0), holders["disk"]->current());
    EXPECT_EQ(engine->catalogTrigrams(1), nullptr);
    EXPECT_EQ(*engine->catalogTrigrams(2), fx.built);
    EXPECT_EQ(engine->trigrams(), nullptr) << "the main session is the main holder's";
}

} // namespace
} // namespace ulmaro
