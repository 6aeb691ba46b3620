#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Shell/SingleInstance.h"
#include "UlmaroAppKit/Shell/UnixSocketSummonChannel.h"
#include "support/TempDir.h"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace ulmaro {
namespace {

using test::TempDir;

// The listener posts from its own thread; wait (bounded) until it has.
bool waitForPosted(ManualMainQueue& queue, std::size_t count) {
    for (int i = 0; i < 500 && queue.pending() < count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return queue.pending() >= count;
}

struct SummonFixture : ::testing::Test {
    TempDir dir;
    std::filesystem::path folder = dir / "Ulmaro";
    ManualMainQueue mainQueue;
    void SetUp() override { ASSERT_TRUE(SingleInstance::prepareRuntimeFolder(folder)); }
    std::filesystem::path socketPath() const { return SingleInstance::summonSocketPath(folder); }
};

TEST_F(SummonFixture, ASummonRunsTheHandlerOnlyWhenTheMainQueueIsDrained) {
    UnixSocketSummonChannel primary(socketPath(), mainQueue);
    int summons = 0;
    auto token = primary.observe([&] { ++summons; });
    UnixSocketSummonChannel later(socketPath(), mainQueue);
    EXPECT_TRUE(later.send());
    EXPECT_TRUE(later.send());
    ASSERT_TRUE(waitForPosted(mainQueue, 2));
    EXPECT_EQ(summons, 0);
    mainQueue.drain();
    EXPECT_EQ(summons, 2);

    later.post();
    ASSERT_TRUE(waitForPosted(mainQueue, 1));
    token.reset();
    mainQueue.drain();
    EXPECT_EQ(summons, 2) << "a summon delivered after the observation ended is dropped";
    EXPECT_FALSE(std::filesystem::exists(socketPath()));
}

TEST_F(SummonFixture, AStaleSocketIsReplacedAndASummonWithoutListenerReturnsPromptly) {
    {
        // A copy that was killed leaves its bound socket behind.
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, socketPath().c_str());
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    UnixSocketSummonChannel later(socketPath(), mainQueue);
    EXPECT_FALSE(later.send());

    UnixSocketSummonChannel primary(socketPath(), mainQueue);
    int summons = 0;
    auto token = primary.observe([&] { ++summons; });
    EXPECT_TRUE(later.send());
    ASSERT_TRUE(waitForPosted(mainQueue, 1));
    mainQueue.drain();
    EXPECT_EQ(summons, 1);
}

TEST_F(SummonFixture, ALaunchWhileTheFirstCopyStartsIsHeldUntilItObserves) {
    UnixSocketSummonChannel primary(socketPath(), mainQueue);
    // Before the lock holder binds, a later copy waits a little for it.
    std::thread binding([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_TRUE(primary.listen());
    });
    EXPECT_TRUE(UnixSocketSummonChannel::send(socketPath(), std::chrono::seconds(5)));
    binding.join();
    EXPECT_TRUE(UnixSocketSummonChannel::send(socketPath()));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    mainQueue.drain();
    int summons = 0;
    auto token = primary.observe([&] { ++summons; });
    EXPECT_EQ(summons, 0) << "handed over in a main-queue task, never inside observe";
    ASSERT_TRUE(waitForPosted(mainQueue, 2));
    mainQueue.drain();
    EXPECT_EQ(summons, 2) << "both summons that waited";

    EXPECT_FALSE(UnixSocketSummonChannel::send(dir / "nobody", std::chrono::milliseconds(50)));
}

TEST_F(SummonFixture, EachLaunchSummonsOnceEvenWhenTheListenerClosesFirst) {
    // The listener closes a connection as soon as it has counted it, often before the
    // launch's byte arrives; a launch that took that for a failure summoned again, and the
    // panel flickered open and shut.
    UnixSocketSummonChannel primary(socketPath(), mainQueue);
    int summons = 0;
    auto token = primary.observe([&] { ++summons; });
    constexpr int launches = 200;
    for (int i = 0; i < launches; ++i)
        EXPECT_TRUE(UnixSocketSummonChannel::send(socketPath(), std::chrono::seconds(3)));
    ASSERT_TRUE(waitForPosted(mainQueue, launches));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    mainQueue.drain();
    EXPECT_EQ(summons, launches);
}

TEST_F(SummonFixture, APathTooLongForASocketFailsCleanly) {
    auto longPath = folder / std::string(120, 'x');
    UnixSocketSummonChannel channel(longPath, mainQueue);
    EXPECT_FALSE(channel.send());
    int summons = 0;
    auto token = channel.observe([&] { ++summons; });
    EXPECT_FALSE(std::filesystem::exists(longPath));
}

} // namespace
} // namespace ulmaro
