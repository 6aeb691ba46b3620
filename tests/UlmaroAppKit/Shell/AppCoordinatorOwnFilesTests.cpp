// The application's own files lie under the scanned root, as ~/.config and ~/.local/share lie
// under "/": writing them is never a user's change, live or caught up after a restart, so
// the app settles instead of feeding its own writes back into the index.
#include "HomeUnderRootFixture.h"
#include "UlmaroAppKit/Indexing/WatchCheckpointStore.h"
#include "UlmaroKit/Platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <thread>

namespace ulmaro::test {
namespace {

using namespace std::chrono_literals;

TEST(AppCoordinatorOwnFiles, SettingsAndIndexWritesAreNeverChangesLiveOrAfterARestart) {
    HomeUnderRoot f;
    f.launch();
    f.settle();
    ASSERT_TRUE(std::holds_alternative<IndexCoordinator::Ready>(f.index().state()));
    ASSERT_TRUE(f.index().isWatching());

    // A user's file shows the watches are in place.
    const auto first = f.userHome / "Documents" / "first.txt";
    HomeUnderRoot::write(first);
    ASSERT_TRUE(f.waitForDelta(first));

    // The app writes its settings (the delta rebuild above wrote "delta.bin" too); a later
    // user's change comes after them in the stream.
    f.fileSettings->setString("app.ulmaro.probe", "one");
    f.fileSettings->flush();
    const auto second = f.userHome / "Pictures" / "second.jpg";
    HomeUnderRoot::write(second);
    ASSERT_TRUE(f.waitForDelta(second));
    EXPECT_EQ(f.ownPathsInDelta(), std::vector<std::string>{});
    EXPECT_EQ(f.index().liveDelta().changed().size(), 2u);

    // The automatic rescan those two owe runs and ends; what it writes afterwards (the
    // scan's statistics, the state the app records) must not owe the next one.
    f.clock->advance(Seconds(90));
    ASSERT_TRUE(f.index().isScanning());
    f.settle();
    ASSERT_FALSE(f.index().isScanning());
    f.fileSettings->setDouble("app.ulmaro.lastScanDuration", 1.25);
    f.fileSettings->flush();
    // Nothing else is to come, so only time can tell: the watcher's latency and then some.
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::duration<double>(IndexCoordinator::watchLatency + 1.5);
    while (std::chrono::steady_clock::now() < until) {
        f.main->drain();
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(f.ownPathsInDelta(), std::vector<std::string>{});
    for (int tick = 1; tick <= 60; ++tick) {
        f.clock->advance(Seconds(IndexCoordinator::automaticRescanCheckInterval));
        if (f.index().isScanning()) {
            ADD_FAILURE() << "a rescan " << tick * 15 << " s after the scan";
            break;
        }
    }

    // Quit; while the app is down the user edits the settings by hand (the editor leaves a
    // backup) and saves a document.
    f.index().checkpointWatchState();
    f.app.reset();
    f.settle();
    HomeUnderRoot::write(DataLocations::configDirectory() / "settings.json~", "{}");
    const auto whileDown = f.userHome / "Documents" / "while-down.txt";
    HomeUnderRoot::write(whileDown);

    f.launch();
    f.settle();
    ASSERT_TRUE(f.waitForDelta(whileDown));
    EXPECT_EQ(f.ownPathsInDelta(), std::vector<std::string>{});
}

// A value set again is no change: the app stores its state on every index update, and a
// write of an unchanged file is still a write the next start has to catch up on.
TEST(AppCoordinatorOwnFiles, AnUnchangedStateWritesNoSettings) {
    HomeUnderRoot f;
    f.launch();
    f.settle();
    ASSERT_TRUE(std::holds_alternative<IndexCoordinator::Ready>(f.index().state()));
    const auto file = JsonFileSettingsStore::defaultPath();
    struct stat before {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    for (int i = 0; i < 3; ++i)
        f.app->handleIndexUpdate(f.index().state(), f.index().store());
    f.settle();
    f.fileSettings->flush();
    struct stat after {};
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
}

// A crash leaves "<file>.tmp.<tag>" siblings of atomic writes behind in both folders; the
// next launch removes them, but never the sibling a live writer is still filling.
TEST(AppCoordinatorOwnFiles, LeftoversOfACrashAreRemovedAtLaunch) {
    HomeUnderRoot f;
    const auto leftover = [](const std::filesystem::path& path) {
        HomeUnderRoot::write(path, "half");
        const timespec old[2] = {{::time(nullptr) - 600, 0}, {::time(nullptr) - 600, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), old, 0);
        return path;
    };
    const auto data = DataLocations::dataDirectory();
    const auto config = DataLocations::configDirectory();
    const auto leftovers = {leftover(data / "index.bin.tmp.0123456789ab"),
                            leftover(data / "delta.bin.tmp.00000000beef"),
                            leftover(config / "settings.json.tmp.feedfacecafe")};
    AtomicFileWriter live(data / "trigrams.bin"); // another process writing now
    live.write(std::string_view("half"));
    leftover(live.temporaryPath());

    f.fileSettings =
        std::make_shared<JsonFileSettingsStore>(JsonFileSettingsStore::defaultPath(), *f.queues);
    f.preferences = std::make_shared<Preferences>(f.fileSettings);
    f.launch();
    f.settle();
    for (const auto& path : leftovers)
        EXPECT_FALSE(std::filesystem::exists(path)) << path;
    EXPECT_TRUE(std::filesystem::exists(live.temporaryPath()));
}

} // namespace
} // namespace ulmaro::test
