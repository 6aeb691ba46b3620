#include "AppCoordinatorFixture.h"
#include "UlmaroAppKit/Indexing/WatchCheckpointStore.h"
#include "UlmaroAppKit/Search/FrecencyStore.h"
#include "UlmaroAppKit/Settings/FirstRunStore.h"
#include "UlmaroAppKit/Shell/AppDelegate.h"

namespace ulmaro::test {
namespace {

struct DelegateFixture : AppFixture {
    int settingsFlushes = 0;
    /// Runs inside the launch, once the panel's view is built.
    std::function<void()> duringLaunch;

    DelegateFixture() {
        completeOnboarding();
        FirstRunStore::markFirstRunCompleted(*settings);
    }

    AppDelegate::Factories factories() {
        AppDelegate::Factories made;
        made.makeCoordinator = [this] {
            auto app = make();
            effects.push_back("coordinator");
            return app;
        };
        made.attachWindows = [this](const std::shared_ptr<AppCoordinator>&) {
            effects.push_back("windows");
        };
        made.installPanelKeys = [this](const std::shared_ptr<AppCoordinator>&) {
            effects.push_back("panel keys");
        };
        made.buildPanelContent = [this](const std::shared_ptr<AppCoordinator>& app) {
            effects.push_back(hotKeyBackend->held().empty() ? "panel view, no hot key"
                                                            : "panel view after hot key");
            EXPECT_TRUE(app->isPrimaryInstance());
            if (duringLaunch) duringLaunch();
        };
        made.terminate = [this] {
            ++terminations;
            effects.push_back("terminate");
        };
        made.flushSettings = [this] { ++settingsFlushes; };
        return made;
    }

    std::vector<std::string> delegateSteps() const {
        static const std::set<std::string> mine = {"coordinator",
                                                   "windows",
                                                   "panel keys",
                                                   "panel view after hot key",
                                                   "panel view, no hot key",
                                                   "terminate",
                                                   "panel shown"};
        std::vector<std::string> steps;
        for (const auto& effect : effects)
            if (mine.count(effect)) steps.push_back(effect);
        return steps;
    }
};

TEST(AppDelegateTest, LaunchOrderOfAFirstAndALaterCopy) {
    struct Case {
        bool primary;
        std::vector<std::string> arguments;
        std::vector<std::string> steps;
    };
    const std::vector<Case> cases = {
        {true, {}, {"coordinator", "windows", "panel keys", "panel view after hot key"}},
        {true,
         {"ulmaro", "--just-installed"},
         {"coordinator", "windows", "panel keys", "panel view after hot key", "panel shown"}},
        {false,
         {"ulmaro", "--just-installed"},
         {"coordinator", "windows", "panel keys", "terminate"}},
    };
    for (const auto& c : cases) {
        DelegateFixture fixture;
        fixture.primary = c.primary;
        AppDelegate delegate(fixture.factories());
        EXPECT_EQ(delegate.launch(c.arguments), c.primary);
        fixture.main->drain();
        EXPECT_EQ(fixture.delegateSteps(), c.steps) << "primary " << c.primary;
        EXPECT_EQ(delegate.launched(), c.primary);
        if (!c.primary) {
            EXPECT_TRUE(fixture.hotKeyBackend->attempts().empty()) << "a later copy takes no key";
            EXPECT_EQ(fixture.indexOf("summon posted") < fixture.effects.size(), true)
                << "a later copy summons the first";
        }
    }
}

TEST(AppDelegateTest, OnlyAFinishedFirstCopySavesAtTheEnd) {
    struct Case {
        const char* name;
        bool primary;
        bool launch;
        bool quitDuringLaunch;
        bool saves;
    };
    const Case cases[] = {
        {"first copy", true, true, false, true},
        {"later copy", false, true, false, false},
        {"before launch", true, false, false, false},
        {"during launch", true, true, true, false},
    };
    for (const auto& c : cases) {
        DelegateFixture fixture;
        fixture.primary = c.primary;
        fixture.settings->setData(AppCoordinator::Keys::frecency,
                                  R"({"/loaded/at/start":{"c":1,"t":0}})");
        // A fresh index: the first copy serves it and watches its root.
        writeIndex(fixture.options.indexPath, 1);
        AppDelegate delegate(fixture.factories());
        if (c.quitDuringLaunch) {
            fixture.duringLaunch = [&] {
                delegate.willTerminate();
                EXPECT_EQ(fixture.settingsFlushes, 0) << "the launch has not finished";
            };
        }
        if (c.launch) delegate.launch({});
        fixture.duringLaunch = nullptr;
        if (c.quitDuringLaunch) continue;
        // What the running copy saved after this one loaded its frecency.
        fixture.settings->setData(AppCoordinator::Keys::frecency,
                                  R"({"/saved/by/first":{"c":2,"t":0}})");
        const auto before = fixture.settings->value(AppCoordinator::Keys::frecency);
        if (c.launch && c.primary)
            delegate.coordinator()->frecencyStore().recordOpen("/home/me/a.txt",
                                                               fixture.clock->now());
        delegate.willTerminate();
        EXPECT_EQ(fixture.settingsFlushes, c.saves ? 1 : 0) << c.name;
        const auto checkpoint = WatchCheckpointStore::defaultURL(fixture.options.indexPath);
        EXPECT_EQ(std::filesystem::exists(checkpoint), c.saves) << c.name;
        if (c.saves) {
            // Stopped after the checkpoint was taken from it, so that no walk of the watch
            // outlives the process's static objects.
            ASSERT_EQ(fixture.indexWatchers.made().size(), 1u) << c.name;
            EXPECT_TRUE(fixture.indexWatchers.latest().stopped) << c.name;
        }
        const auto after = fixture.settings->value(AppCoordinator::Keys::frecency);
        if (c.saves) {
            ASSERT_TRUE(after) << c.name;
            EXPECT_NE(after->dump().find("/home/me/a.txt"), std::string::npos) << c.name;
        } else {
            EXPECT_EQ(after, before) << c.name << ": nothing written";
        }
    }
}

/// Settings that log each frecency write, and whether the watcher's checkpoint was on disk
/// by then.
struct LoggingSettings final : SettingsStore {
    std::shared_ptr<SettingsStore> inner;
    std::filesystem::path checkpoint;
    Effects& effects;

    LoggingSettings(std::shared_ptr<SettingsStore> store, std::filesystem::path file, Effects& log)
        : inner(std::move(store)), checkpoint(std::move(file)), effects(log) {}
    std::optional<nlohmann::json> value(std::string_view key) const override {
        return inner->value(key);
    }
    void setValue(std::string_view key, nlohmann::json value) override {
        if (key == AppCoordinator::Keys::frecency)
            effects.push_back(std::filesystem::exists(checkpoint) ? "frecency after checkpoint"
                                                                  : "frecency");
        inner->setValue(key, std::move(value));
    }
    void remove(std::string_view key) override { inner->remove(key); }
};

TEST(AppDelegateTest, QuitSavesTheCheckpointThenFrecencyThenSettings) {
    DelegateFixture fixture;
    // A served index under a real folder, so that the watcher runs and its device is known.
    const auto root = fixture.dir / "root";
    std::filesystem::create_directories(root);
    writeIndex(fixture.options.indexPath, 1);
    const auto checkpoint = WatchCheckpointStore::defaultURL(fixture.options.indexPath);
    fixture.options.indexCoordinator = std::make_shared<IndexCoordinator>(
        fixture.options.indexPath, [root] { return root.string(); },
        [&fixture] { return ScanPolicy::fullDisk(fixture.home.string(), true); }, 86400,
        IndexCoordinator::Dependencies{*fixture.main,
                                       *fixture.clock,
                                       *fixture.clock,
                                       *fixture.settings,
                                       *fixture.queues,
                                       fixture.queues->makeQueue("delta", QueueQuality::utility),
                                       {},
                                       {},
                                       fixture.indexWatchers.factory()});
    auto factories = fixture.factories();
    factories.makeCoordinator = [&fixture, checkpoint] {
        auto env = fixture.environment();
        env.settings =
            std::make_shared<LoggingSettings>(fixture.settings, checkpoint, fixture.effects);
        return AppCoordinator::create(std::move(env), fixture.options);
    };
    factories.flushSettings = [&fixture] { fixture.effects.push_back("settings flushed"); };
    AppDelegate delegate(std::move(factories));
    ASSERT_TRUE(delegate.launch({}));
    fixture.main->drain();
    ASSERT_TRUE(delegate.coordinator()->indexCoordinator().isWatching());
    delegate.coordinator()->frecencyStore().recordOpen("/home/me/a.txt", fixture.clock->now());
    std::filesystem::remove(checkpoint);
    fixture.effects.clear();

    delegate.willTerminate();
    const Effects saves = {"frecency after checkpoint", "settings flushed"};
    EXPECT_EQ(fixture.effects, saves);
    EXPECT_TRUE(WatchCheckpointStore::load(checkpoint));
}

} // namespace
} // namespace ulmaro::test
