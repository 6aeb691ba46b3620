#pragma once

#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualChangeWatchers.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Indexing/IndexCoordinator.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>

namespace ulmaro::test {

using State = IndexCoordinator::State;
using Indexing = IndexCoordinator::Indexing;
using Ready = IndexCoordinator::Ready;
using Refreshing = IndexCoordinator::Refreshing;
using Failed = IndexCoordinator::Failed;

inline void touch(const std::filesystem::path& path) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "x";
}

inline WallTime modificationTime(const std::filesystem::path& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return WallTime(std::chrono::duration_cast<WallTime::duration>(
        std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
}

inline bool hasPath(const IndexStore& store, std::string_view name) {
    for (std::size_t i = 0; i < store.count(); ++i)
        if (store.name(static_cast<std::uint32_t>(i)) == std::string(name)) return true;
    return false;
}

/// The manual main queue, except that while `holding` is set posted work is kept aside, so
/// a test can deliver it late and out of order.
struct HoldingMainQueue final : MainQueue {
    ManualMainQueue& inner;
    bool holding = false;
    std::vector<Task> held;

    explicit HoldingMainQueue(ManualMainQueue& main) : inner(main) {}
    void post(Task task) override {
        if (holding)
            held.push_back(std::move(task));
        else
            inner.post(std::move(task));
    }
    bool isCurrent() const override { return inner.isCurrent(); }
};

/// A coordinator over a small real tree, with every queue, clock and setting a fake and
/// every published update recorded.
struct Harness {
    TempDir dir;
    std::filesystem::path root = dir / "tree";
    std::filesystem::path indexPath = dir / "data" / "index.bin";
    std::string scanRoot = root.string();
    std::optional<std::int64_t> free = std::int64_t(1) << 40;
    /// Whether scans read sizes and dates; without, every index is written unfilled.
    bool fills = true;
    ManualMainQueue main;
    HoldingMainQueue gate{main};
    ManualClock clock;
    InMemorySettingsStore settings;
    ManualSerialQueueFactory queues;
    ManualChangeWatchers watchers;
    /// inotify instead of `watchers`, for the tests that change real files.
    bool realWatchers = false;
    std::function<ScanPolicy()> policy = [] { return ScanPolicy(ScanPolicy::defaultExclusions()); };
    std::vector<State> updates;
    /// The lines written to the user's log.
    std::vector<std::string> errors;
    std::unique_ptr<IndexCoordinator> coordinator;

    Harness() {
        touch(root / "alpha.txt");
        touch(root / "docs" / "beta.md");
        make();
    }

    void make() {
        coordinator = std::make_unique<IndexCoordinator>(
            indexPath, [this] { return scanRoot; }, [this] { return policy(); }, 86400,
            IndexCoordinator::Dependencies{
                gate, clock, clock, settings, queues,
                queues.makeQueue("app.ulmaro.live-delta", QueueQuality::utility),
                [this](const std::filesystem::path&) { return free; },
                [this](IndexBuilder& builder, bool onlyMissing, AttributeFiller::Appetite appetite,
                       const std::function<void(std::int64_t)>& progress) {
                    if (fills)
                        AttributeFiller::fill(
                            builder, [] { return true; }, onlyMissing, appetite, progress);
                },
                realWatchers ? fileSystemChangeWatchers() : watchers.factory(),
                [this](const std::string& line) { errors.push_back(line); }});
        coordinator->onUpdate = [this](const State& s, const IndexCoordinator::Store&) {
            updates.push_back(s);
        };
    }

    ManualSerialQueue& scanQueue() {
        for (auto& q : queues.queues())
            if (q->label() == "app.ulmaro.index-coordinator") return *q;
        throw std::logic_error("no scan queue");
    }

    /// Runs one scan job and hands its result back.
    void runScan() {
        ASSERT_TRUE(scanQueue().runOne());
        main.drain();
    }

    void settle() {
        while (queues.drainAll() + main.drain() > 0) {
        }
    }

    /// An index of the tree, written and then left alone.
    void buildIndex() {
        coordinator->start();
        settle();
        ASSERT_TRUE(std::holds_alternative<Ready>(coordinator->state()));
        updates.clear();
    }
};

} // namespace ulmaro::test
