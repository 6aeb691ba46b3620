#include "UlmaroAppKit/Catalogs/CatalogCoordinatorAdapter.h"
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "support/TempDir.h"
#include "support/VolumeFixtures.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;

TEST(CatalogCoordinatorAdapter, TheApplicationsCallbacksHearTheCoordinator) {
    test::TempDir dir;
    CatalogLibrary library(CatalogLayout(dir / "Catalogs"));
    auto preferences = std::make_shared<Preferences>(std::make_shared<InMemorySettingsStore>());
    ManualMainQueue mainQueue;
    ManualClock clock;
    ManualSerialQueueFactory queues;
    std::vector<MountedVolume> volumes = {test::volume("A", (dir / "A").string()),
                                          test::volume("IMAGE", (dir / "image").string())};
    for (const auto& v : volumes)
        fs::create_directories(v.mountPath);
    VolumeEvents events(
        mainQueue, [&] { return volumes; }, VolumeEvents::Options{"", {}});
    events.start();
    CatalogCoordinatorAdapter adapter(library, preferences, events,
                                      [&] { return events.volumes(); },
                                      {mainQueue, clock, queues, clock, {dir.path().string()}});
    std::vector<std::string> offered, unmounted;
    int changes = 0;
    adapter.onPromptForDrive = [&](const MountedVolume& v) { offered.push_back(v.uuid); };
    adapter.onVolumeUnmounted = [&](const std::string& path) { unmounted.push_back(path); };
    adapter.onChange = [&] { ++changes; };
    adapter.isDiskImage = [](const MountedVolume& v) { return v.uuid == "IMAGE"; };

    adapter.start();
    EXPECT_EQ(offered, std::vector<std::string>{"A"});
    adapter.isOnboardingShowing = [] { return true; };
    EXPECT_FALSE(adapter.wantsPrompt(volumes[0]));
    adapter.isOnboardingShowing = {};
    EXPECT_TRUE(adapter.wantsPrompt(volumes[0]));

    const auto result = adapter.catalogDrive(volumes[0]);
    const std::string id = std::get<CatalogCoordinator::Started>(result).id;
    EXPECT_GT(changes, 0);
    EXPECT_TRUE(adapter.isScanning(id));
    EXPECT_EQ(adapter.pendingNew().size(), 1u);
    EXPECT_EQ(adapter.mountedVolumes(), volumes);

    adapter.startWatchingVolumes();
    adapter.startLiveUpdates();
    EXPECT_EQ(clock.activeTimers(), 1u);
    events.apply({volumes[1]});
    mainQueue.drain();
    EXPECT_EQ(unmounted, std::vector<std::string>{volumes[0].mountPath});
    EXPECT_TRUE(adapter.coordinator().running()->flag->isCancelled());
}

} // namespace
} // namespace ulmaro
