// The panel's keys reach the coordinator's search model while it lives, and answer their
// defaults once it is gone: the panel outlives the coordinator at the end of the process.
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Panel/QuickFilter.h"
#include "UlmaroAppKit/Shell/AppCoordinatorFixture.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Panel/PanelKeyCallbacks.h"

#include <gtest/gtest.h>

namespace ulmaro::test {
namespace {

TEST(PanelKeyCallbacks, ReachTheModelWhileTheCoordinatorLivesAndDefaultOnceItIsGone) {
    AppFixture fixture;
    fixture.completeOnboarding();
    auto app = fixture.make();
    OverlayPanel panel;
    PanelKeyCallbacks::install(panel, app);
    auto& model = app->overlayViewModel();

    panel.onToggleCheatSheet();
    EXPECT_TRUE(model.showingCheatSheet.get());
    // A digit turns its filter on, and off again; a character with none changes nothing.
    panel.onFilterDigit('1');
    EXPECT_EQ(model.activeFilter.get(), QuickFilter::forDigit("1"));
    panel.onFilterDigit('x');
    EXPECT_EQ(model.activeFilter.get(), QuickFilter::forDigit("1"));
    panel.onFilterDigit('1');
    EXPECT_EQ(model.activeFilter.get(), std::nullopt);
    EXPECT_FALSE(panel.fieldHasSelectedText()) << "no field yet";

    const std::weak_ptr<AppCoordinator> weak = app;
    app.reset();
    ASSERT_TRUE(weak.expired());
    EXPECT_EQ(panel.previewURLProvider(), std::nullopt);
    EXPECT_FALSE(panel.isBrowsingResults());
    EXPECT_FALSE(panel.onCopyPath());
    EXPECT_FALSE(panel.fieldHasSelectedText());
    panel.onQuickLookMove(1);
    panel.onFilterDigit('1');
    panel.onFindCopies();
    panel.onToggleCheatSheet();
    panel.onOpenTerminal();
    panel.onReveal();
    EXPECT_TRUE(fixture.workspace->revealed.empty());
    EXPECT_TRUE(fixture.workspace->copied.empty());
}

} // namespace
} // namespace ulmaro::test
