#include "UlmaroAppKit/Catalogs/VolumeEvents.h"
#include "UlmaroAppKit/Catalogs/VolumeWatcher.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "support/VolumeFixtures.h"

#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ulmaro {
namespace {

using test::volume;

// What the volume listing answers; read on the monitoring thread.
struct FakeVolumes {
    std::mutex mutex;
    std::vector<MountedVolume> now;
    int listings = 0;

    VolumeEvents::ListVolumes list() {
        return [this] {
            std::lock_guard lock(mutex);
            ++listings;
            return now;
        };
    }
    void set(std::vector<MountedVolume> v) {
        std::lock_guard lock(mutex);
        now = std::move(v);
    }
};

struct VolumeEventsTest : ::testing::Test {
    ManualMainQueue mainQueue;
    FakeVolumes fake;
    VolumeEvents events{mainQueue, fake.list(), VolumeEvents::Options{"", {}}};
    std::vector<std::string> log;

    VolumeWatcher watcher{events, [this] { return events.volumes(); }};

    void SetUp() override {
        watcher.onMount = [this](const MountedVolume& v) {
            log.push_back("mount " + v.mountPath + " " + v.uuid);
        };
        watcher.onWillUnmount = [this](const std::string& p) {
            bool listed = false;
            for (const auto& v : events.volumes())
                listed = listed || v.mountPath == p;
            log.push_back("will " + p + (listed ? " (listed)" : " (gone)"));
        };
        watcher.onUnmount = [this](const std::string& p) { log.push_back("unmount " + p); };
    }

    // The monitoring thread posts from its own thread; wait (bounded) for it.
    void waitForPosts(std::size_t count) {
        for (int i = 0; i < 500 && mainQueue.pending() < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_GE(mainQueue.pending(), count);
    }
};

TEST_F(VolumeEventsTest, WillUnmountComesFirstWhileTheListStillHoldsTheDrive) {
    fake.set({volume("BOOT", "/"), volume("A", "/media/a")});
    events.start();
    watcher.start();
    events.apply({volume("BOOT", "/")});
    EXPECT_EQ(log, (std::vector<std::string>{"will /media/a (listed)"}));
    EXPECT_EQ(events.volumes().size(), 1u);
    mainQueue.drain();
    EXPECT_EQ(log, (std::vector<std::string>{"will /media/a (listed)", "unmount /media/a"}));
}

TEST_F(VolumeEventsTest, TwoDrivesSwappedAtOnePathUnmountThenMount) {
    fake.set({volume("A", "/media/usb")});
    events.start();
    watcher.start();
    events.apply({volume("B", "/media/usb")});
    mainQueue.drain();
    EXPECT_EQ(log, (std::vector<std::string>{"will /media/usb (listed)", "unmount /media/usb",
                                             "mount /media/usb B"}));
}

TEST_F(VolumeEventsTest, StartingTwiceRegistersOnceAndStopEndsTheCallbacks) {
    events.start();
    watcher.start();
    watcher.start();
    EXPECT_EQ(watcher.observerCount(), 3u);
    watcher.stop();
    EXPECT_FALSE(watcher.isRunning());
    watcher.start();
    EXPECT_EQ(watcher.observerCount(), 3u);
    watcher.stop();
    events.apply({volume("A", "/media/a")});
    mainQueue.drain();
    EXPECT_TRUE(log.empty());
}

TEST_F(VolumeEventsTest, AMountOutsideTheOfferedVolumesCallsNothing) {
    events.start();
    VolumeWatcher picky(events, [] { return std::vector<MountedVolume>{volume("A", "/media/a")}; });
    std::vector<std::string> mounts;
    picky.onMount = [&](const MountedVolume& v) { mounts.push_back(v.mountPath); };
    picky.start();
    events.apply({volume("BOOT", "/"), volume("A", "/media/a")});
    mainQueue.drain();
    EXPECT_EQ(mounts, (std::vector<std::string>{"/media/a"}));
}

TEST(VolumeEventsMonitor, ListsAgainLaterSoALateUUIDIsSeen) {
    ManualMainQueue mainQueue;
    FakeVolumes fake;
    VolumeEvents events(mainQueue, fake.list(),
                        VolumeEvents::Options{"", {std::chrono::milliseconds(30)}});
    events.start();
    std::vector<std::string> mounts;
    auto sub = events.onDidMount([&](const MountedVolume& v) { mounts.push_back(v.uuid); });

    // The drive is mounted, but udev has not written its UUID link yet.
    events.noteMountTableChanged();
    for (int i = 0; i < 500 && mainQueue.pending() < 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    fake.set({volume("LATE", "/media/late")});
    for (int i = 0; i < 500 && mainQueue.pending() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    for (int i = 0; i < 500 && mounts.empty(); ++i) {
        mainQueue.drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(mounts, (std::vector<std::string>{"LATE"}));
    EXPECT_GE(fake.listings, 3);
}

} // namespace
} // namespace ulmaro
