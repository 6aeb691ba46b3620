#include "UlmaroAppKit/Fakes/FakeHotKeyBackend.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Shell/HotKeyCenter.h"
#include "UlmaroAppKit/Shell/WaylandHotKeyBackend.h"

#include <gtest/gtest.h>
#include <map>
#include <string>

namespace ulmaro {
namespace {

constexpr KeyCombo altSpace = KeyCombo::optionSpace;
constexpr KeyCombo superK{40, KeyCombo::command};

struct HotKeyFixture : ::testing::Test {
    std::shared_ptr<FakeHotKeyBackend> backend = std::make_shared<FakeHotKeyBackend>();
    ManualMainQueue mainQueue;
    std::shared_ptr<HotKeyCenter> center = HotKeyCenter::create(backend, mainQueue);
    int presses = 0;
    std::shared_ptr<HotKey> make(KeyCombo combo) {
        return center->makeHotKey(combo, [this] { ++presses; });
    }
};

TEST_F(HotKeyFixture, IdsCountFromOneAndAreNeverReused) {
    auto first = make(altSpace);
    auto second = make(altSpace);
    EXPECT_EQ(first->id(), 1u);
    EXPECT_EQ(second->id(), 2u);
    ASSERT_TRUE(first->registerKey());
    first->unregisterKey();
    first.reset();
    EXPECT_EQ(make(altSpace)->id(), 3u);
    EXPECT_EQ(second->combo(), altSpace);
}

TEST_F(HotKeyFixture, APressRunsOnlyWhenTheMainQueueIsDrained) {
    auto hotKey = make(altSpace);
    ASSERT_TRUE(hotKey->registerKey());
    EXPECT_TRUE(hotKey->isRegistered());
    ASSERT_TRUE(backend->press(altSpace));
    ASSERT_TRUE(backend->press(altSpace));
    EXPECT_EQ(presses, 0) << "never inside the backend's callback";
    EXPECT_EQ(mainQueue.drain(), 2u);
    EXPECT_EQ(presses, 2);
}

TEST_F(HotKeyFixture, APressForAnIdNotRegisteredWhenItsTaskRunsDoesNothing) {
    auto hotKey = make(altSpace);
    ASSERT_TRUE(hotKey->registerKey());
    backend->pressID(hotKey->id());
    hotKey->unregisterKey(); // between the press and its task
    backend->pressID(hotKey->id());
    backend->pressID(77);
    mainQueue.drain();
    EXPECT_EQ(presses, 0);
    EXPECT_FALSE(hotKey->isRegistered());
    EXPECT_TRUE(backend->held().empty());
    EXPECT_EQ(center->registered(hotKey->id()), nullptr);
}

TEST_F(HotKeyFixture, ARefusalRegistersNothingAndTheHandlerIsInstalledOnce) {
    EXPECT_EQ(backend->handlerInstalls(), 0) << "installed by the first registration";
    backend->take(altSpace);
    auto refused = make(altSpace);
    EXPECT_FALSE(refused->registerKey());
    EXPECT_FALSE(refused->isRegistered());
    EXPECT_EQ(center->registered(refused->id()), nullptr);
    EXPECT_TRUE(backend->held().empty());
    EXPECT_EQ(backend->handlerInstalls(), 1) << "installed even though the grab was refused";

    auto other = make(superK);
    EXPECT_TRUE(other->registerKey());
    refused->unregisterKey(); // harmless, and must not release another registration
    EXPECT_EQ(backend->held().size(), 1u);
    EXPECT_EQ(backend->handlerInstalls(), 1);
}

TEST_F(HotKeyFixture, ARegisteredHotKeyLivesUntilUnregistered) {
    std::weak_ptr<HotKey> weak;
    {
        auto hotKey = make(altSpace);
        ASSERT_TRUE(hotKey->registerKey());
        weak = hotKey;
    }
    ASSERT_FALSE(weak.expired()) << "dropping the last outside reference keeps the key";
    backend->press(altSpace);
    mainQueue.drain();
    EXPECT_EQ(presses, 1);

    weak.lock()->unregisterKey();
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(backend->held().empty());
}

TEST_F(HotKeyFixture, APressActionMayUnregisterItsOwnHotKey) {
    std::shared_ptr<HotKey> hotKey;
    hotKey = center->makeHotKey(altSpace, [&] {
        ++presses;
        hotKey->unregisterKey();
        hotKey.reset();
    });
    ASSERT_TRUE(hotKey->registerKey());
    auto id = hotKey->id();
    backend->pressID(id);
    backend->pressID(id);
    mainQueue.drain();
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(center->registered(id), nullptr);
}

TEST_F(HotKeyFixture, TheSameCombinationCannotBeHeldTwice) {
    auto first = make(altSpace);
    auto second = make(altSpace);
    ASSERT_TRUE(first->registerKey());
    EXPECT_TRUE(first->registerKey()) << "registering a registered key changes nothing";
    EXPECT_FALSE(second->registerKey());
    first->unregisterKey();
    EXPECT_TRUE(second->registerKey());
}

TEST_F(HotKeyFixture, AfterTheCenterIsGoneHotKeysRefuseAndPressesAreDropped) {
    auto hotKey = make(altSpace);
    ASSERT_TRUE(hotKey->registerKey());
    backend->pressID(hotKey->id());
    auto unregistered = make(superK);
    center.reset();
    EXPECT_FALSE(unregistered->registerKey());
    unregistered->unregisterKey();
    backend->pressID(1);
    mainQueue.drain();
    EXPECT_EQ(presses, 0);
}

TEST(WaylandHotKeyBackend, RecognisesTheSession) {
    struct Case {
        const char* waylandDisplay;
        const char* sessionType;
        bool wayland;
    };
    for (auto [display, type, wayland] :
         {Case{nullptr, nullptr, false}, Case{"wayland-0", nullptr, true}, Case{"", "x11", false},
          Case{nullptr, "wayland", true}, Case{"", "tty", false}}) {
        std::map<std::string, const char*> env{{"WAYLAND_DISPLAY", display},
                                               {"XDG_SESSION_TYPE", type}};
        EXPECT_EQ(
            WaylandHotKeyBackend::isWaylandSession([&](const char* name) { return env[name]; }),
            wayland)
            << (display ? display : "(unset)") << " / " << (type ? type : "(unset)");
    }
}

TEST(WaylandHotKeyBackend, RefusesEveryRegistration) {
    auto backend = std::make_shared<WaylandHotKeyBackend>();
    ManualMainQueue mainQueue;
    auto center = HotKeyCenter::create(backend, mainQueue);
    EXPECT_FALSE(center->globalKeysAvailable()) << "the shell asks for no key then";
    EXPECT_FALSE(center->makeHotKey(altSpace, [] {})->registerKey());
    EXPECT_FALSE(center->makeHotKey(superK, [] {})->registerKey());
}

} // namespace
} // namespace ulmaro
