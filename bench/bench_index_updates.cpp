// The application's start over a 1,000,000-record synthetic index with its "trigrams.bin"
// written (warm page cache): from making the index coordinator to the first answered query,
// in parts; the cost of a burst of 1,000 unchanged index updates through the app
// coordinator (no engine built); and the resident anonymous memory after start and a few
// queries, beside the trigram index's size.
//
//   bench_index_updates [--benchmark_repetitions=5]
// The synthetic index is cached under $ULMARO_BENCH_DIR (default /tmp/ulmaro-bench).

#include "SyntheticIndex.h"
#include "UlmaroAppKit/Catalogs/CatalogCoordinating.h"
#include "UlmaroAppKit/Catalogs/CatalogLibrary.h"
#include "UlmaroAppKit/Catalogs/CatalogPromptPresenting.h"
#include "UlmaroAppKit/Catalogs/VolumeEvents.h"
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualChangeWatchers.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Fakes/RecordingStatusItemView.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspaceOpener.h"
#include "UlmaroAppKit/Indexing/IndexCoordinator.h"
#include "UlmaroAppKit/MenuBar/LoginItemProvider.h"
#include "UlmaroAppKit/Onboarding/OnboardingStore.h"
#include "UlmaroAppKit/Panel/FrontmostAppTracking.h"
#include "UlmaroAppKit/Panel/OverlayPanelWindow.h"
#include "UlmaroAppKit/Platform/SystemClock.h"
#include "UlmaroAppKit/Platform/ThreadSerialQueueFactory.h"
#include "UlmaroAppKit/Platform/ThreadTimerService.h"
#include "UlmaroAppKit/Search/RemovedPaths.h"
#include "UlmaroAppKit/Search/SearchEngine.h"
#include "UlmaroAppKit/Search/TrigramIndexHolder.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"
#include "UlmaroKit/Index/IndexStore.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace ulmaro;
using Steady = std::chrono::steady_clock;

constexpr std::size_t records = 1'000'000;
const char* const queries[] = {"report", "photo 2019", "invoice.pdf", "readme", "src main"};

double millisecondsSince(Steady::time_point start) {
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

/// Resident anonymous memory of this process, in MiB.
double residentAnonymousMiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "RssAnon:") {
            double kib = 0;
            status >> kib;
            return kib / 1024.0;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

/// Blocks until `holder` holds an index.
void waitForTrigrams(const TrigramIndexHolder& holder) {
    while (!holder.current())
        std::this_thread::sleep_for(std::chrono::microseconds(100));
}

void searchAndWait(SearchEngine& engine, const char* text) {
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    engine.search(text, [&](SearchOutcome, std::int64_t) {
        std::lock_guard lock(mutex);
        done = true;
        answered.notify_one();
    });
    std::unique_lock lock(mutex);
    answered.wait(lock, [&] { return done; });
}

/// "index.bin" of its own with a fresh date (start() serves it without a rescan) and its
/// "trigrams.bin" written beside it.
struct Place {
    fs::path folder = bench::benchDirectory() / "index-updates";
    fs::path index = folder / "data" / "index.bin";
    fs::path root = folder / "root";

    Place() {
        bench::placeFreshSyntheticIndex(records, index);
        fs::create_directories(root);
        if (!fs::exists(TrigramIndexHolder::defaultCacheURL(index))) {
            ThreadSerialQueueFactory queues;
            auto engine = SearchEngine::make({.store = IndexStore::open(index)}, queues,
                                             std::make_shared<SystemClock>());
            auto holder =
                std::make_shared<TrigramIndexHolder>(TrigramIndexHolder::defaultCacheURL(index));
            engine->useTrigramIndex(holder, queues);
            waitForTrigrams(*holder);
        }
    }
};

const Place& place() {
    static const Place p;
    return p;
}

// Making the coordinator until the first query is answered, with the trigram cache loaded:
// load and check (make + start to ready), the trigram cache, the engine build, the first query.
void BM_CoordinatorToFirstAnswer_1M(benchmark::State& state) {
    const Place& p = place();
    double load = 0, trigrams = 0, build = 0, query = 0, anonymous = 0, trigramMiB = 0;
    for (auto _ : state) {
        const auto began = Steady::now();
        ManualMainQueue main;
        SystemClock clock;
        ThreadTimerService timers{main};
        InMemorySettingsStore settings;
        ThreadSerialQueueFactory queues;
        auto coordinator = std::make_unique<IndexCoordinator>(
            p.index, [root = p.root.string()] { return root; },
            [] { return ScanPolicy(ScanPolicy::defaultExclusions()); }, 86400,
            IndexCoordinator::Dependencies{
                main, clock, timers, settings, queues,
                queues.makeQueue("app.ulmaro.live-delta", QueueQuality::utility)});
        coordinator->start();
        const auto store = coordinator->store();
        if (!store) {
            state.SkipWithError("no store after start()");
            break;
        }
        load = millisecondsSince(began);

        auto at = Steady::now();
        LiveDelta& delta = coordinator->liveDelta();
        auto engine = SearchEngine::make(
            {.store = store,
             .deltaStore = delta.store(),
             .removedPaths = std::make_shared<const RemovedPaths>(delta.removed()),
             .excludeSystemPaths = [] { return false; }},
            queues, std::make_shared<SystemClock>());
        build = millisecondsSince(at);

        at = Steady::now();
        auto holder =
            std::make_shared<TrigramIndexHolder>(TrigramIndexHolder::defaultCacheURL(p.index));
        engine->useTrigramIndex(holder, queues);
        waitForTrigrams(*holder);
        trigrams = millisecondsSince(at);

        at = Steady::now();
        searchAndWait(*engine, queries[0]);
        query = millisecondsSince(at);

        state.PauseTiming();
        for (const char* text : queries)
            searchAndWait(*engine, text);
        anonymous = residentAnonymousMiB();
        trigramMiB = static_cast<double>(holder->current()->byteSize()) / (1024.0 * 1024.0);
        engine.reset();
        coordinator.reset();
        state.ResumeTiming();
    }
    state.counters["load_ms"] = load;
    state.counters["trigrams_ms"] = trigrams;
    state.counters["engine_ms"] = build;
    state.counters["first_query_ms"] = query;
    state.counters["rss_anon_MiB"] = anonymous;
    state.counters["trigram_index_MiB"] = trigramMiB;
    state.counters["beyond_trigrams_MiB"] = anonymous - trigramMiB;
}
BENCHMARK(BM_CoordinatorToFirstAnswer_1M)->Unit(benchmark::kMillisecond)->UseRealTime();

// The app coordinator's parts that reach the system, doing nothing.
struct StillPanel final : OverlayPanelWindow {
    bool isVisible() const override { return false; }
    PanelRect frame() const override { return {0, 0, 680, 480}; }
    std::optional<PanelPoint> shownTopLeft() const override { return std::nullopt; }
    void restorePositionOrCenter(std::optional<PanelPoint>) override {}
    void centerOnActiveScreen() override {}
    void makeKeyAndOrderFront() override {}
    void focusSearchField() override {}
    void orderOut() override {}
    void setOnResignKey(std::function<void()>) override {}
    bool previewIsOnScreen() const override { return false; }
};
struct NoFrontmost final : FrontmostAppTracking {
    std::optional<AppReference> currentFrontmostApp() override { return std::nullopt; }
    void activate(const AppReference&) override {}
};
struct NoLoginItem final : LoginItemProvider {
    LoginItemStatus status() const override { return LoginItemStatus::notRegistered; }
    void registerItem() override {}
    void unregisterItem() override {}
};
struct NoPrompts final : CatalogPromptPresenting {
    void present(const std::string&, std::function<void()>, std::function<void()>) override {}
    void dismiss() override {}
};
struct NoCatalogs final : CatalogCoordinating {
    void start() override {}
    void startWatchingVolumes() override {}
    void startLiveUpdates() override {}
    void rescanAllOnline() override {}
    CatalogCoordinator::AddResult catalogDrive(const MountedVolume&) override {
        return CatalogCoordinator::Started{""};
    }
    bool wantsPrompt(const MountedVolume&) const override { return false; }
    std::vector<MountedVolume> mountedVolumes() const override { return {}; }
    std::vector<CatalogInfo> pendingNew() const override { return {}; }
    bool isScanning(const std::string&) const override { return false; }
};

// 1,000 index updates that change nothing (progress ticks and repeated ready states) through
// the app coordinator over the 1M index: no engine is built.
void BM_UnchangedUpdateBurst_1M(benchmark::State& state) {
    const Place& p = place();
    auto main = std::make_shared<ManualMainQueue>();
    auto clock = std::make_shared<ManualClock>(std::chrono::system_clock::now());
    auto queues = std::make_shared<ManualSerialQueueFactory>();
    auto settings = std::make_shared<InMemorySettingsStore>();
    auto preferences = std::make_shared<Preferences>(settings);
    preferences->setSearchThisMac(true);
    OnboardingStore::markCompleted(*settings);
    settings->setBool(AppCoordinator::Keys::lastScanUsedFullDiskAccess, true);
    ManualChangeWatchers watchers;
    int builds = 0;

    AppEnvironment env;
    env.mainQueue = main;
    env.clock = clock;
    env.timers = clock;
    env.indexWatchers = watchers.factory();
    env.queues = queues;
    env.settings = settings;
    env.firstRunSettings = settings;
    env.preferences = preferences;
    env.homeDirectory = p.folder / "home";
    env.fullDiskAccessGranted = [] { return true; };
    env.loginItemProvider = std::make_shared<NoLoginItem>();
    env.panel = std::make_shared<StillPanel>();
    env.frontmostTracker = std::make_shared<NoFrontmost>();
    env.statusItem = std::make_shared<RecordingStatusItemView>();
    env.opener = std::make_shared<RecordingWorkspaceOpener>();
    env.catalogPromptPresenter = std::make_shared<NoPrompts>();
    env.makeVolumeEvents = [](MainQueue& queue) {
        VolumeEvents::Options none;
        none.mountTable.clear();
        none.relistAfter.clear();
        return std::make_unique<VolumeEvents>(
            queue, [] { return std::vector<MountedVolume>{}; }, none);
    };
    env.makeCatalogCoordinator = [](CatalogLibrary&, std::shared_ptr<Preferences>, VolumeEvents&,
                                    AppEnvironment::MountedVolumes) {
        return std::make_shared<NoCatalogs>();
    };
    env.makeSearchEngine = [&builds, queues, clock](SearchEngine::Inputs inputs) {
        ++builds;
        return SearchEngine::make(std::move(inputs), *queues, clock);
    };
    env.writeSystemLog = [](const std::string&) {};
    AppCoordinator::Options options;
    options.indexPath = p.index;
    auto app = AppCoordinator::create(env, options);
    const auto store = app->indexCoordinator().store();
    if (!store) {
        state.SkipWithError("the index did not load");
        return;
    }
    const int before = builds;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            if (i % 2 == 0)
                app->handleIndexUpdate(IndexCoordinator::Refreshing{1'000'000, i}, store);
            else
                app->handleIndexUpdate(IndexCoordinator::Ready{1'000'000, clock->now()}, store);
        }
    }
    state.counters["engines_built"] = builds - before;
    state.counters["seconds_per_update"] =
        benchmark::Counter(1000.0 * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_UnchangedUpdateBurst_1M)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
