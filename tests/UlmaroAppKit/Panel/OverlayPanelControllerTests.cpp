#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Panel/OverlayPanelController.h"
#include "UlmaroAppKit/Panel/PanelPlacement.h"
#include "UlmaroAppKit/Panel/SettingsPanelPositionStore.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ulmaro {
namespace {

/// A panel on one 1920×1080 screen that records what was done to it.
class FakePanel final : public OverlayPanelWindow {
public:
    bool isVisible() const override { return visible; }
    PanelRect frame() const override { return frame_; }
    std::optional<PanelPoint> shownTopLeft() const override {
        if (!visible || !placed) return std::nullopt;
        return frame_.topLeft();
    }
    void restorePositionOrCenter(std::optional<PanelPoint> saved) override {
        log.push_back("restore");
        const PanelRect screens[] = {screen};
        if (auto p = PanelPlacement::restoredOrCentred(saved, frame_.width, frame_.height, screens,
                                                       screen))
            moveTo(*p);
    }
    void centerOnActiveScreen() override {
        log.push_back("centre");
        moveTo(PanelPlacement::centred(screen, frame_.width, frame_.height));
    }
    void makeKeyAndOrderFront() override {
        log.push_back("front");
        visible = true;
    }
    void focusSearchField() override { log.push_back("focus"); }
    void orderOut() override {
        log.push_back("out");
        visible = false;
    }
    void setOnResignKey(std::function<void()> handler) override {
        onResignKey = std::move(handler);
    }
    bool previewIsOnScreen() const override { return previewShowing; }

    void moveTo(PanelPoint p) {
        frame_.x = p.x;
        frame_.y = p.y;
    }
    /// The window manager took the keyboard away.
    void resignKey() {
        if (onResignKey) onResignKey();
    }

    PanelRect screen{0, 0, 1920, 1080};
    bool visible = false;
    bool previewShowing = false;
    /// The window manager has put the window on screen.
    bool placed = true;
    PanelRect frame_{0, 0, 680, 480};
    std::vector<std::string> log;
    std::function<void()> onResignKey;
};

class FakeTracker final : public FrontmostAppTracking {
public:
    std::optional<AppReference> currentFrontmostApp() override { return front; }
    void activate(const AppReference& app) override { activated.push_back(app.processIdentifier); }
    std::optional<AppReference> front;
    std::vector<int> activated;
};

const PanelPoint centredPoint{620, 200};

class OverlayPanelControllerTest : public ::testing::Test {
protected:
    std::shared_ptr<FakePanel> panel = std::make_shared<FakePanel>();
    std::shared_ptr<FakeTracker> tracker = std::make_shared<FakeTracker>();
    InMemorySettingsStore settings;
    std::shared_ptr<SettingsPanelPositionStore> positions =
        std::make_shared<SettingsPanelPositionStore>(settings);
    ManualMainQueue mainQueue;
    OverlayPanelController controller{panel, tracker, positions, mainQueue};
};

TEST_F(OverlayPanelControllerTest, ShowCentresRaisesAndFocusesTheFieldOnTheNextTurn) {
    tracker->front = AppReference{41, 7};
    controller.show(false);
    EXPECT_EQ(panel->log, (std::vector<std::string>{"restore", "front"}));
    EXPECT_EQ(panel->frame().topLeft(), centredPoint);
    EXPECT_EQ(controller.capturedFrontmost(), AppReference{41});
    mainQueue.drain();
    EXPECT_EQ(panel->log.back(), "focus");
}

TEST_F(OverlayPanelControllerTest, ShowingTwiceKeepsTheRememberedWindowAndPlace) {
    tracker->front = AppReference{41, 7};
    controller.show(true);
    panel->moveTo({5, 6});
    tracker->front = AppReference{99, 1}; // the panel itself, say
    controller.show(true);
    EXPECT_EQ(controller.capturedFrontmost()->window, 7u);
    EXPECT_EQ(panel->frame().topLeft(), (PanelPoint{5, 6}));
    EXPECT_EQ(std::count(panel->log.begin(), panel->log.end(), "front"), 1);
}

TEST_F(OverlayPanelControllerTest, TogglingTwiceRestoresThePreviousApp) {
    tracker->front = AppReference{41, 7};
    controller.toggle(false);
    EXPECT_TRUE(controller.isVisible());
    controller.toggle(false);
    EXPECT_FALSE(controller.isVisible());
    EXPECT_EQ(tracker->activated, std::vector<int>{41});
    EXPECT_EQ(controller.capturedFrontmost(), std::nullopt);
}

TEST_F(OverlayPanelControllerTest, DismissSavesTheTopLeftWhichTheNextShowRestores) {
    controller.show(false);
    panel->moveTo({300, 150});
    controller.dismiss(false);
    EXPECT_EQ(settings.intValue(SettingsPanelPositionStore::versionKey), 4);
    EXPECT_EQ(settings.doubleValue(SettingsPanelPositionStore::originXKey), 300);
    EXPECT_EQ(settings.doubleValue(SettingsPanelPositionStore::originYKey), 150);
    panel->moveTo({0, 0});
    controller.show(false);
    EXPECT_EQ(panel->frame().topLeft(), (PanelPoint{300, 150}));
}

// A dismissal before the window manager has put the panel on screen has no place to
// remember: the corner saved before stays.
TEST_F(OverlayPanelControllerTest, ADismissalBeforeThePanelIsOnScreenSavesNothing) {
    controller.show(false);
    panel->moveTo({300, 150});
    controller.dismiss(false);
    panel->placed = false;
    controller.show(false);
    panel->moveTo({0, 0});
    controller.dismiss(true);
    EXPECT_EQ(positions->savedTopLeft(), (PanelPoint{300, 150}));
    panel->placed = true;
    controller.show(false);
    EXPECT_EQ(panel->frame().topLeft(), (PanelPoint{300, 150}));
}

TEST_F(OverlayPanelControllerTest, AnOpenWithoutRestoreForgetsTheApp) {
    tracker->front = AppReference{41, 7};
    controller.show(false);
    controller.dismiss(false);
    EXPECT_TRUE(tracker->activated.empty());
    EXPECT_EQ(controller.capturedFrontmost(), std::nullopt);
    // A later resign or dismissal cannot bring it back.
    panel->resignKey();
    controller.dismiss(true);
    EXPECT_TRUE(tracker->activated.empty());
}

TEST_F(OverlayPanelControllerTest, DismissingAHiddenPanelDoesNothing) {
    controller.dismiss(true);
    EXPECT_TRUE(panel->log.empty());
    EXPECT_EQ(settings.size(), 0u);
}

TEST_F(OverlayPanelControllerTest, ResetPositionVisibleAndHidden) {
    controller.show(false);
    panel->moveTo({300, 150});
    controller.resetPosition();
    EXPECT_EQ(panel->frame().topLeft(), centredPoint) << "a visible panel is centred at once";

    panel->moveTo({300, 150});
    controller.dismiss(false);
    controller.resetPosition();
    EXPECT_EQ(panel->frame().topLeft(), (PanelPoint{300, 150})) << "a hidden one is not moved";
    EXPECT_FALSE(settings.contains(SettingsPanelPositionStore::originXKey));
    controller.show(false);
    EXPECT_EQ(panel->frame().topLeft(), centredPoint) << "but centred when it shows";
}

TEST_F(OverlayPanelControllerTest, LosingTheKeyboardDismissesWithRestoreExceptToThePreview) {
    panel->previewShowing = true;
    tracker->front = AppReference{41, 7};
    controller.show(false);
    panel->resignKey();
    EXPECT_TRUE(controller.isVisible()) << "the preview keeps the panel open";

    panel->previewShowing = false;
    controller.shouldDismissOnResignKey = [] { return false; };
    panel->resignKey();
    EXPECT_TRUE(controller.isVisible());

    controller.shouldDismissOnResignKey = [] { return true; };
    panel->moveTo({10, 20});
    panel->resignKey();
    EXPECT_FALSE(controller.isVisible());
    EXPECT_EQ(tracker->activated, std::vector<int>{41});
    EXPECT_EQ(positions->savedTopLeft(), (PanelPoint{10, 20}));
}

TEST_F(OverlayPanelControllerTest, TheFocusStepOutlivesNeitherPanelNorController) {
    auto otherPanel = std::make_shared<FakePanel>();
    {
        OverlayPanelController other(otherPanel, tracker, positions, mainQueue);
        other.show(false);
    }
    EXPECT_FALSE(otherPanel->onResignKey) << "the controller takes its handler with it";
    std::weak_ptr<FakePanel> weak = otherPanel;
    otherPanel.reset();
    EXPECT_TRUE(weak.expired());
    mainQueue.drain(); // the queued focus step finds no panel
}

} // namespace
} // namespace ulmaro
