#pragma once

#include "UlmaroAppKit/Onboarding/OnboardingStore.h"
#include "UlmaroAppKit/Platform/JsonFileSettingsStore.h"
#include "UlmaroAppKit/Shell/AppCoordinatorFixture.h"
#include "UlmaroKit/Platform/DataLocations.h"
#include "UlmaroKit/Scanning/FileSystemWatcher.h"
#include "support/WaitFor.h"

#include <fstream>

namespace ulmaro::test {

/// A machine in small: the scan root holds a home whose config and data folders (settings,
/// index, delta) lie inside what is indexed and watched, as "/" holds ~/.config and
/// ~/.local/share. Real settings file, real inotify; queues and clock stay manual.
struct HomeUnderRoot : AppFixture {
    std::filesystem::path root = dir / "root";
    std::filesystem::path userHome = root / "home" / "me";
    ScopedEnv homeVariable{"HOME", userHome.string()};
    ScopedEnv configVariable{"XDG_CONFIG_HOME", (userHome / ".config").string()};
    ScopedEnv dataVariable{"XDG_DATA_HOME", (userHome / ".local" / "share").string()};
    std::shared_ptr<JsonFileSettingsStore> fileSettings;
    std::shared_ptr<AppCoordinator> app;

    HomeUnderRoot() {
        home = userHome;
        for (const char* file : {"Documents/report.txt", "Documents/notes/todo.md",
                                 "Pictures/cat.jpg", ".hidden/keep.txt"})
            write(userHome / file);
        fileSettings =
            std::make_shared<JsonFileSettingsStore>(JsonFileSettingsStore::defaultPath(), *queues);
        preferences = std::make_shared<Preferences>(fileSettings);
        preferences->setSearchThisMac(true);
        OnboardingStore::markCompleted(*fileSettings);
        fileSettings->setBool(AppCoordinator::Keys::lastScanUsedFullDiskAccess, true);
        fileSettings->flush();
        options.indexPath = DataLocations::indexPath();
        options.scanRoot = root.string();
    }

    static void write(const std::filesystem::path& path, const std::string& text = "x") {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }

    void launch() {
        AppEnvironment env = environment();
        env.settings = fileSettings;
        env.firstRunSettings = fileSettings;
        env.preferences = preferences;
        env.indexWatchers = fileSystemChangeWatchers();
        app = AppCoordinator::create(std::move(env), options);
    }

    void settle() {
        while (queues->drainAll() + main->drain() > 0) {
        }
    }

    IndexCoordinator& index() { return app->indexCoordinator(); }

    /// Waits until the live delta holds `path` (the watcher delivers on its own thread),
    /// with the delta rebuilt.
    bool waitForDelta(const std::filesystem::path& path) {
        const bool seen = waitFor([&] {
            main->drain();
            return index().liveDelta().changed().contains(path.string());
        });
        clock->advance(Seconds(IndexCoordinator::deltaRebuildDelay));
        settle();
        return seen;
    }

    /// The delta's paths that lie in our own folders.
    std::vector<std::string> ownPathsInDelta() {
        std::vector<std::string> own;
        const auto& delta = index().liveDelta();
        auto collect = [&](const auto& table) {
            for (const auto& [path, sequence] : table)
                for (const auto& folder :
                     {DataLocations::dataDirectory(), DataLocations::configDirectory()})
                    if (path.starts_with(folder.string())) own.push_back(path);
        };
        collect(delta.changed());
        collect(delta.tombstones());
        return own;
    }
};

} // namespace ulmaro::test
