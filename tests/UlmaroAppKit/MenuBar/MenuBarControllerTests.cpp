#include "MenuBarFixture.h"
#include "UlmaroAppKit/Fakes/RecordingStatusItemView.h"
#include "UlmaroAppKit/MenuBar/MenuBarController.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using VM = MenuBarViewModel;
using Glyph = VM::IconState::Glyph;
using Icon = RecordingStatusItemView::Icon;
using ::testing::ElementsAre;
using namespace std::chrono_literals;

class MenuBarControllerTest : public ::testing::Test, protected test::MenuBarFixture {
protected:
    std::shared_ptr<RecordingStatusItemView> view = std::make_shared<RecordingStatusItemView>();
    std::optional<MenuBarController> controller{std::in_place, view, environment(), callbacks()};

    VM ready() const { return {.indexState = VM::Ready{10, clock->now()}}; }
    VM indexing(std::int64_t files = 5) const { return {.indexState = VM::Indexing{files}}; }
    void restart() {
        view->calls.clear();
        view->icons.clear();
    }
};

TEST_F(MenuBarControllerTest, ShowsLoadingAtOnceThenIconTooltipMenuInOrder) {
    EXPECT_THAT(view->calls, ElementsAre("icon", "tooltip", "menu"));
    EXPECT_THAT(view->icons, ElementsAre(Icon{Glyph::working, 0, "Ulmaro — starting up"}));
    EXPECT_EQ(view->toolTip, "Ulmaro — loading…");
    EXPECT_EQ(view->menu,
              controller->menuBuilder().buildMenu(MenuBarController::initialViewModel()));
    EXPECT_NE(view->listener, nullptr);

    restart();
    VM failed{.indexState = VM::Failed{"Disk full"}, .hotKeyUnavailable = true};
    controller->update(failed);
    EXPECT_THAT(view->calls, ElementsAre("icon", "tooltip", "menu"));
    EXPECT_THAT(view->icons, ElementsAre(Icon{Glyph::failed, 0, "Ulmaro — index failed"}));
    EXPECT_EQ(view->toolTip, "Disk full");
    EXPECT_EQ(view->menu, controller->menuBuilder().buildMenu(failed));

    // The same menu again is not sent again; icon and tooltip always are.
    restart();
    controller->update(failed);
    EXPECT_THAT(view->calls, ElementsAre("icon", "tooltip"));
}

TEST_F(MenuBarControllerTest, AnOpenMenuStaysUntilItClosesThenTheNewestApplies) {
    controller->update(ready());
    const MenuSpec before = view->menu;
    const std::size_t sent = view->menusSet;

    view->open();
    controller->update(VM{.indexState = VM::Ready{10, clock->now()}, .hotKeyUnavailable = true});
    VM newest = ready();
    newest.savedSearches = {{"Docs", "ext:pdf"}};
    controller->update(newest);
    EXPECT_EQ(view->menu, before);
    EXPECT_EQ(view->toolTip, "Ulmaro — 10 files · indexed just now") << "tooltips still update";
    view->close();
    EXPECT_EQ(view->menusSet, sent + 1);
    EXPECT_EQ(view->menu, controller->menuBuilder().buildMenu(newest));

    // An open menu that ends up equal to the shown one is not sent again on close.
    view->open();
    controller->update(VM{.indexState = VM::Failed{"x"}});
    controller->update(newest);
    view->close();
    EXPECT_EQ(view->menusSet, sent + 1);
}

TEST_F(MenuBarControllerTest, HealthLinesRefreshWhileOpenWithoutAdding) {
    controller->update(ready()); // stops the start-up animation's timer
    IndexHealth fresh = health();
    controller->setHealthProvider([&] { return std::optional(fresh); });

    VM viewModel = ready();
    viewModel.health = health();
    controller->update(viewModel);
    ASSERT_EQ(view->menu.healthLineIndexes().size(), 4u);
    const MenuSpec before = view->menu;

    view->open();
    EXPECT_EQ(clock->activeTimers(), 1u);
    fresh.fileCount = 7;
    fresh.pendingLiveChanges = 2; // a fifth line: shown only after a rebuild
    clock->advance(0.49s);
    EXPECT_EQ(view->menu, before);
    clock->advance(0.01s);
    const auto indexes = view->menu.healthLineIndexes();
    ASSERT_EQ(indexes.size(), 4u);
    EXPECT_EQ(view->menu.items[indexes[0]].title, "7 files indexed");
    EXPECT_EQ(view->menu.items[indexes[3]].title, "Status: Healthy");
    EXPECT_EQ(view->menu.items.size(), before.items.size());

    restart();
    clock->advance(1s);
    EXPECT_THAT(view->calls, ElementsAre("retitle", "retitle"));
    view->close();
    EXPECT_EQ(clock->activeTimers(), 0u);
    restart();
    clock->advance(5s);
    EXPECT_TRUE(view->calls.empty());

    // What the retitled menu shows is what the controller compares with.
    fresh.pendingLiveChanges = 0;
    viewModel.health = fresh;
    const std::size_t sent = view->menusSet;
    controller->update(viewModel);
    EXPECT_EQ(view->menusSet, sent);
}

TEST_F(MenuBarControllerTest, NoHealthNoTimerAndNothingToRetitle) {
    controller->update(ready());
    controller->setHealthProvider([&] { return std::optional(health()); });
    view->open();
    EXPECT_EQ(clock->activeTimers(), 0u) << "a menu without health lines refreshes nothing";
    view->close();

    VM viewModel = ready();
    viewModel.health = health();
    controller->update(viewModel);
    for (auto provider : std::vector<MenuBarMenuBuilder::HealthProvider>{
             {}, [] { return std::optional<IndexHealth>(); }}) {
        controller->setHealthProvider(provider);
        restart();
        view->open();
        clock->advance(2s);
        view->close();
        EXPECT_TRUE(view->calls.empty());
    }
}

TEST_F(MenuBarControllerTest, WorkingAnimationInVirtualTime) {
    // Start-up animates too: four frames, 0.4 s apart, round again.
    EXPECT_TRUE(controller->isAnimating());
    std::vector<int> phases;
    for (int step = 0; step < 5; ++step) {
        clock->advance(0.4s);
        phases.push_back(view->icons.back().phase);
    }
    EXPECT_THAT(phases, ElementsAre(1, 2, 3, 0, 1));
    EXPECT_EQ(view->icons.back(), (Icon{Glyph::working, 1, "Ulmaro — starting up"}));

    // Repeated indexing updates keep the phase and the one timer.
    controller->update(indexing(1));
    controller->update(indexing(2));
    EXPECT_EQ(controller->animationPhase(), 1);
    EXPECT_EQ(clock->activeTimers(), 1u);
    EXPECT_EQ(view->icons.back(), (Icon{Glyph::working, 1, "Ulmaro — indexing"}));
    clock->advance(0.4s);
    EXPECT_EQ(view->icons.back(), (Icon{Glyph::working, 2, "Ulmaro — indexing"}));

    // Ready stops at phase 0 and draws the still mark.
    controller->update(ready());
    EXPECT_FALSE(controller->isAnimating());
    EXPECT_EQ(clock->activeTimers(), 0u);
    EXPECT_EQ(view->icons.back(), (Icon{Glyph::ready, 0, "Ulmaro — ready"}));
    restart();
    clock->advance(2s);
    EXPECT_TRUE(view->icons.empty());

    // Back to indexing: from phase 0 again.
    controller->update(indexing());
    EXPECT_EQ(view->icons.back().phase, 0);
    clock->advance(0.4s);
    EXPECT_EQ(view->icons.back().phase, 1);

    controller.reset();
    EXPECT_EQ(clock->activeTimers(), 0u) << "gone with the controller";
    EXPECT_EQ(view->listener, nullptr);
}

TEST_F(MenuBarControllerTest, ChosenItemsReachTheCallbacks) {
    VM viewModel = ready();
    viewModel.savedSearches = {{"Docs", "ext:pdf"}};
    controller->update(viewModel);
    for (const auto& item : view->menu.items)
        if (item.action == MenuAction::savedSearch || item.action == MenuAction::quit)
            view->choose(item);
    EXPECT_THAT(calls, ElementsAre("recentSearch:ext:pdf", "quit"));
}

} // namespace
} // namespace ulmaro
