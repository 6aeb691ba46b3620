// Restarts and live changes with real inotify on a home shaped like a real one: the scanned
// root holds the application's config folder and data folder (as "/" holds ~/.config and
// ~/.local/share), a cache, a Trash and folders of the user's files, under the scan policy
// the application itself builds.
#include "CoordinatorHarness.h"
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"
#include "UlmaroKit/Scanning/FileSystemWatcher.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using namespace test;
namespace fs = std::filesystem;
using Signal = FileSystemWatcherSignal;

// A name of a prefix and a number (GCC 12 warns falsely of "literal" + std::string at -O3).
std::string numbered(std::string prefix, std::size_t number, std::string_view suffix = {}) {
    prefix += std::to_string(number);
    prefix += suffix;
    return prefix;
}

struct Home {
    Harness h;
    fs::path home = h.dir / "home";
    ScopedEnv homeVariable{"HOME", home.string()};
    ScopedEnv config{"XDG_CONFIG_HOME", (home / ".config").string()};
    ScopedEnv data{"XDG_DATA_HOME", (home / ".local" / "share").string()};
    std::shared_ptr<Preferences> preferences =
        std::make_shared<Preferences>(std::make_shared<InMemorySettingsStore>());
    std::vector<fs::path> folders;

    Home() {
        touch(home / ".config" / "Ulmaro" / "settings.json");
        touch(home / ".cache" / "thumbnails" / "a.png");
        touch(home / ".local" / "share" / "Trash" / "files" / "old.txt");
        for (int i = 0; i < 40; ++i) {
            folders.push_back(home / "work" / numbered("project", i % 8) / numbered("part", i));
            touch(folders.back() / "notes.txt");
        }
        h.root = home;
        h.scanRoot = home.string();
        h.indexPath = home / ".local" / "share" / "Ulmaro" / "index.bin";
        h.policy = [this] { return AppCoordinator::scanPolicy(true, home, *preferences); };
        h.realWatchers = true;
        h.make();
        h.buildIndex();
    }

    void quit() {
        h.coordinator->checkpointWatchState();
        h.coordinator.reset();
    }

    void restart() {
        h.make();
        h.coordinator->start();
        h.settle();
    }

    /// Waits until the live delta holds what the catch-up found, without moving the clock.
    bool caughtUp(const std::function<bool(const LiveDelta&)>& done) {
        return waitFor([&] {
            h.settle();
            return done(h.coordinator->liveDelta());
        });
    }
};

// What a machine writes while the application is stopped: a package install and a browser
// cache, more files than the live delta holds, none of which a search would show.
void installPackagesAndBrowse(const fs::path& home, std::size_t files) {
    for (std::size_t k = 0; k < files; ++k) {
        const fs::path top =
            k % 2 == 0 ? home / "work" / "project0" / "node_modules" : home / ".cache" / "browser";
        touch(top / numbered("p", k / 200) / numbered("f", k, ".js"));
    }
}

TEST(IndexCoordinatorCatchUp, ManyChangesInManyFoldersAreFoundWithoutARescan) {
    Home home;
    home.quit();

    std::vector<std::string> made, gone, renamed;
    for (std::size_t i = 0; i < home.folders.size(); ++i) {
        const fs::path& folder = home.folders[i];
        for (int k = 0; k < 8; ++k) {
            touch(folder / numbered("made", k, ".txt"));
            made.push_back((folder / numbered("made", k, ".txt")).string());
        }
        if (i % 2 == 0) {
            fs::remove(folder / "notes.txt");
            gone.push_back((folder / "notes.txt").string());
        } else {
            fs::rename(folder / "notes.txt", folder / "renamed.txt");
            gone.push_back((folder / "notes.txt").string());
            renamed.push_back((folder / "renamed.txt").string());
        }
    }
    installPackagesAndBrowse(home.home, IndexCoordinator::deltaCap + 1);

    home.restart();
    ASSERT_TRUE(home.caughtUp([&](const LiveDelta& delta) {
        auto all = [](const auto& paths, const auto& map) {
            return std::all_of(paths.begin(), paths.end(),
                               [&](const std::string& p) { return map.contains(p); });
        };
        return all(made, delta.changed()) && all(renamed, delta.changed()) &&
               all(gone, delta.tombstones());
    }));
    // Searchable at once: the catch-up is one batch, with nothing to wait for.
    const auto& store = home.h.coordinator->liveDelta().store();
    ASSERT_NE(store, nullptr);
    EXPECT_TRUE(hasPath(*store, "made7.txt"));
    EXPECT_TRUE(hasPath(*store, "renamed.txt"));
    for (const auto& [path, sequence] : home.h.coordinator->liveDelta().changed())
        EXPECT_FALSE(IndexCoordinator::isHighChurnNoise(path)) << path;
    EXPECT_FALSE(home.h.coordinator->isScanning());
    EXPECT_EQ(home.h.scanQueue().pending(), 0u);
}

TEST(IndexCoordinatorCatchUp, WhatTheCatchUpCannotTellIsRescannedAtOnce) {
    Home home;
    home.quit();
    // An unpacked archive: more of the user's files than the live delta holds.
    for (std::size_t k = 0; k <= IndexCoordinator::deltaCap; ++k)
        touch(home.home / "work" / "unpacked" / numbered("d", k / 500) / numbered("f", k));

    home.restart();
    // No quiet to wait for, no clock to move: the rescan starts as soon as the catch-up
    // gives up.
    ASSERT_TRUE(waitFor([&] {
        home.h.main.drain();
        return home.h.coordinator->isScanning();
    }));
    EXPECT_TRUE(std::holds_alternative<Refreshing>(home.h.coordinator->state()));
    home.h.settle();
    ASSERT_TRUE(std::holds_alternative<Ready>(home.h.coordinator->state()));
    EXPECT_TRUE(hasPath(*home.h.coordinator->store(), "f20000"));
}

// Batches of changes keep arriving, a watcher's latency apart; each is searchable no later
// than the rebuild delay after it arrived.
TEST(IndexCoordinatorCatchUp, LaterBatchesNeverPostponeADueRebuild) {
    Harness h;
    h.buildIndex();
    h.watchers.push(Signal::historyDone());
    h.main.drain();
    const Seconds step(IndexCoordinator::deltaRebuildDelay * 0.8);
    for (int i = 0; i < 6; ++i) {
        touch(h.root / numbered("busy", i, ".txt"));
        h.watchers.push(Signal::changedPaths({(h.root / numbered("busy", i, ".txt")).string()}));
        h.main.drain();
        h.clock.advance(step);
        h.settle();
        if (i == 0) continue;
        const auto& store = h.coordinator->liveDelta().store();
        ASSERT_NE(store, nullptr) << "batch " << i;
        EXPECT_TRUE(hasPath(*store, numbered("busy", i - 1, ".txt"))) << "batch " << i;
    }
}

} // namespace
} // namespace ulmaro
