#include "OnboardingFixture.h"
#include "UlmaroAppKit/Settings/Preferences.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using Step = OnboardingStep;
using Events = std::vector<std::string>;
using test::drive;

TEST(OnboardingFlow, TheCompletionFlagAloneDecidesWhetherTheFlowShows) {
    test::OnboardingRecorder fresh;
    auto& pending = fresh.make();
    EXPECT_EQ(pending.step.get(), Step::welcome);
    EXPECT_TRUE(pending.isShowing());
    EXPECT_TRUE(pending.isFirstRunSession());

    test::OnboardingRecorder done;
    OnboardingStore::markCompleted(*done.store);
    auto& completed = done.make(false, {drive("a")});
    EXPECT_EQ(completed.step.get(), std::nullopt);
    EXPECT_FALSE(completed.isShowing());
    EXPECT_FALSE(completed.isFirstRunSession());
    // Nothing moves it into a step, and only the shell's progress is recorded.
    completed.advanceFromWelcome();
    completed.chooseCatalogOnly();
    completed.advanceFromPermission();
    completed.advanceFromExternalDrives();
    completed.applyIndexingComplete(10, {});
    EXPECT_EQ(completed.step.get(), std::nullopt);
    EXPECT_EQ(completed.readyCount(), 10);
    EXPECT_EQ(done.events, Events{});
}

TEST(OnboardingFlow, AFlagOfAnotherTypeStillLeavesTheFlowPending) {
    test::OnboardingRecorder r;
    r.store->setValue(OnboardingStore::completedKey, "yes");
    EXPECT_EQ(r.make().step.get(), Step::welcome);
}

TEST(OnboardingFlow, WelcomeAdvanceStartsIndexingBeforeMovingOnWhenAccessIsGranted) {
    struct Case {
        bool access;
        bool drives;
        bool indexComplete;
        Step next;
        Events events;
    };
    const std::vector<Case> cases = {
        {true, false, false, Step::indexing, {"startIndexing", "step 4"}},
        {true, false, true, Step::ready, {"startIndexing", "step 5"}},
        {true, true, false, Step::externalDrives, {"startIndexing", "step 3"}},
        {true, true, true, Step::externalDrives, {"startIndexing", "step 3"}},
        // Without access the permission step comes first and nothing starts yet.
        {false, false, false, Step::permission, {"step 2"}},
        {false, true, true, Step::permission, {"step 2"}},
    };
    for (const auto& c : cases) {
        test::OnboardingRecorder r;
        std::vector<MountedVolume> drives;
        if (c.drives) drives = {drive("a"), drive("b")};
        auto& model = r.make(c.access, drives);
        if (c.indexComplete) model.applyIndexingComplete(5, {});
        r.takeEvents();
        model.advanceFromWelcome();
        SCOPED_TRACE(::testing::Message() << "access " << c.access << " drives " << c.drives
                                          << " complete " << c.indexComplete);
        EXPECT_EQ(model.step.get(), c.next);
        EXPECT_EQ(r.events, c.events);
        EXPECT_EQ(model.indexingStarted(), c.access);
    }
}

TEST(OnboardingFlow, NotNowStartsIndexingOnceAndFinishingDoesNotStartItAgain) {
    test::OnboardingRecorder r;
    auto& model = r.make(false);
    model.advanceFromWelcome();
    EXPECT_EQ(r.takeEvents(), Events{"step 2"});

    model.advanceFromPermission();
    EXPECT_EQ(r.takeEvents(), (Events{"startIndexing", "step 4"}));
    model.advanceFromPermission(); // a late second click
    EXPECT_EQ(r.takeEvents(), Events{});

    model.skip();
    EXPECT_EQ(r.takeEvents(), (Events{"no step", "onCompleted"}));
}

TEST(OnboardingFlow, NotNowLeadsToTheDriveStepOrStraightToReady) {
    test::OnboardingRecorder withDrives;
    auto& a = withDrives.make(false, {drive("a")});
    a.advanceFromWelcome();
    a.advanceFromPermission();
    EXPECT_EQ(a.step.get(), Step::externalDrives);

    test::OnboardingRecorder indexed;
    auto& b = indexed.make(false);
    b.advanceFromWelcome();
    b.applyIndexingComplete(3, {});
    b.advanceFromPermission();
    EXPECT_EQ(b.step.get(), Step::ready);
}

TEST(OnboardingFlow, CatalogOnlyEndsTheFlowWithoutIndexing) {
    test::OnboardingRecorder r;
    auto& model = r.make();
    Preferences prefs(r.store);
    ASSERT_TRUE(prefs.searchThisMac());

    model.chooseCatalogOnly();
    EXPECT_EQ(r.events, (Events{"no step", "onCompleted", "onChoseCatalogOnly"}));
    EXPECT_FALSE(prefs.searchThisMac());
    EXPECT_EQ(r.store->boolValue("app.ulmaro.searchThisMac"), false);
    EXPECT_TRUE(OnboardingStore::hasCompleted(*r.store));
    EXPECT_FALSE(model.indexingStarted());

    // The flow is over: a second choice is ignored.
    r.takeEvents();
    model.chooseCatalogOnly();
    EXPECT_EQ(r.events, Events{});
}

TEST(OnboardingFlow, CatalogOnlyOutsideTheWelcomeStepChangesNothing) {
    test::OnboardingRecorder r;
    auto& model = r.make();
    model.advanceFromWelcome();
    r.takeEvents();
    const auto before = r.store->size();

    model.chooseCatalogOnly();
    EXPECT_EQ(model.step.get(), Step::indexing);
    EXPECT_EQ(r.events, Events{});
    EXPECT_EQ(r.store->size(), before);
    EXPECT_FALSE(r.store->contains("app.ulmaro.searchThisMac"));
    EXPECT_FALSE(OnboardingStore::hasCompleted(*r.store));
}

TEST(OnboardingFlow, TheDriveStepShowsFourDrivesAndReportsTheTickedAndTheUnticked) {
    test::OnboardingRecorder r;
    auto& model = r.make(
        true, {drive("d1"), drive("d2"), drive("tm", true), drive("d4"), drive("d5"), drive("d6")});
    EXPECT_EQ(test::OnboardingRecorder::uuids(model.shownDrives()),
              (Events{"d1", "d2", "tm", "d4"}));
    EXPECT_EQ(model.drivesToCatalog.get(), (std::set<std::string>{"d1", "d2", "d4"}));

    model.advanceFromWelcome();
    r.takeEvents();
    model.advanceFromExternalDrives();
    EXPECT_EQ(r.events, (Events{"onDrivesChosen", "step 4"}));
    ASSERT_EQ(r.chosen.size(), 1u);
    EXPECT_EQ(r.chosen[0], (Events{"d1", "d2", "d4"}));
    EXPECT_EQ(r.declined[0], Events{"tm"});

    model.advanceFromExternalDrives();
    EXPECT_EQ(r.chosen.size(), 1u) << "the step is left once";
}

TEST(OnboardingFlow, TicksDecideTheSplitAndDrivesBeyondTheFourthAreInNeither) {
    test::OnboardingRecorder r;
    auto& model =
        r.make(true, {drive("d1"), drive("d2"), drive("tm", true), drive("d4"), drive("d5")});
    model.toggleDrive("d2");
    model.toggleDrive("tm");
    model.toggleDrive("d5");
    EXPECT_EQ(model.drivesToCatalog.get(), (std::set<std::string>{"d1", "d4", "d5", "tm"}));
    model.toggleDrive("d5");
    EXPECT_EQ(model.drivesToCatalog.get(), (std::set<std::string>{"d1", "d4", "tm"}));
    model.toggleDrive("d5");

    model.advanceFromWelcome();
    model.applyIndexingComplete(7, {});
    model.advanceFromExternalDrives();
    ASSERT_EQ(r.chosen.size(), 1u);
    EXPECT_EQ(r.chosen[0], (Events{"d1", "tm", "d4"}));
    EXPECT_EQ(r.declined[0], Events{"d2"});
    EXPECT_EQ(model.step.get(), Step::ready);
}

TEST(OnboardingFlow, CompletionDuringPermissionOrDriveStepOnlyRecordsUntilTheStepIsLeft) {
    RankedRow row;
    row.id = 9;
    row.name = "notes.txt";
    row.path = "/home/tester/notes.txt";

    for (bool onPermission : {true, false}) {
        SCOPED_TRACE(onPermission ? "permission" : "drives");
        test::OnboardingRecorder r;
        auto& model = r.make(!onPermission,
                             onPermission ? std::vector<MountedVolume>{} : std::vector{drive("a")});
        model.advanceFromWelcome();
        const auto waiting = model.step.get();
        ASSERT_EQ(waiting, onPermission ? Step::permission : Step::externalDrives);
        r.takeEvents();

        model.applyIndexingComplete(1234, {row});
        EXPECT_EQ(model.step.get(), waiting);
        EXPECT_EQ(r.events, Events{});
        EXPECT_TRUE(model.indexComplete.get());
        EXPECT_EQ(model.finalCount.get(), 1234);
        EXPECT_EQ(model.suggestions.get(), std::vector{row});
        EXPECT_TRUE(model.hasTryTheseSuggestions());

        if (onPermission)
            model.advanceFromPermission();
        else
            model.advanceFromExternalDrives();
        EXPECT_EQ(model.step.get(), Step::ready);
    }
}

TEST(OnboardingFlow, CompletionMovesTheIndexingStepToReady) {
    test::OnboardingRecorder r;
    auto& model = r.make();
    model.advanceFromWelcome();
    r.takeEvents();
    model.applyIndexingComplete(3, {});
    EXPECT_EQ(r.events, Events{"step 5"});
}

TEST(OnboardingFlow, EachAdvanceActsOnlyInItsOwnStep) {
    test::OnboardingRecorder r;
    auto& model = r.make();
    // Advances of every later step, in the welcome step: all ignored.
    model.advanceFromPermission();
    model.advanceFromExternalDrives();
    model.advanceFromIndexing();
    model.advanceFromReady();
    model.advanceFromContentFolders();
    model.advanceFromHowToSearch();
    EXPECT_EQ(model.step.get(), Step::welcome);
    EXPECT_EQ(r.takeEvents(), Events{});

    // A double click moves one step, not two.
    model.advanceFromWelcome();
    model.advanceFromWelcome();
    model.advanceFromIndexing();
    model.advanceFromIndexing();
    model.advanceFromReady();
    model.advanceFromReady();
    EXPECT_EQ(model.step.get(), Step::contentFolders);
    EXPECT_EQ(r.takeEvents(), (Events{"startIndexing", "step 4", "step 5", "step 6"}));
}

TEST(OnboardingFlow, TheWholeWayThroughWithEveryStep) {
    test::TesterHome home;
    test::OnboardingRecorder r;
    auto& model = r.make(false, {drive("a")});
    ASSERT_EQ(model.totalSteps(), 8);

    using M = OnboardingViewModel;
    const std::vector<void (M::*)()> path = {
        &M::advanceFromWelcome,
        &M::advanceFromPermission,
        &M::advanceFromExternalDrives,
        &M::continueInBackground, // hides the panel, keeps the step
        &M::advanceFromIndexing,
        &M::advanceFromReady,
        &M::advanceFromContentFolders,
        &M::advanceFromHowToSearch,
        &M::complete,
    };
    std::vector<int> positions{model.stepPosition()};
    for (auto operation : path) {
        (model.*operation)();
        positions.push_back(model.stepPosition());
    }

    EXPECT_EQ(positions, (std::vector{1, 2, 3, 4, 4, 5, 6, 7, 8, 8}));
    EXPECT_EQ(r.events, (Events{"step 2", "startIndexing", "step 3", "onDrivesChosen", "step 4",
                                "dismissPanel", "step 5", "step 6", "step 7", "step 8", "no step",
                                "onCompleted"}));
    EXPECT_TRUE(OnboardingStore::hasCompleted(*r.store));
}

TEST(OnboardingFlow, LeavingTheContentFolderStepStoresTheFoldersInEffect) {
    test::TesterHome home;
    const std::vector<std::string> defaults{"/home/tester/Desktop", "/home/tester/Documents",
                                            "/home/tester/Downloads"};

    auto reachContentFolders = [](OnboardingViewModel& model) {
        model.advanceFromWelcome();
        model.advanceFromIndexing();
        model.advanceFromReady();
        ASSERT_EQ(model.step.get(), Step::contentFolders);
    };

    test::OnboardingRecorder untouched;
    auto& a = untouched.make();
    reachContentFolders(a);
    ASSERT_FALSE(untouched.store->contains("app.ulmaro.contentIndexFolders"));
    a.advanceFromContentFolders();
    EXPECT_EQ(untouched.store->stringListValue("app.ulmaro.contentIndexFolders"), defaults);
    EXPECT_EQ(untouched.store->boolValue("app.ulmaro.hasChosenContentFolders"), true);
    EXPECT_EQ(a.step.get(), Step::howToSearch);

    // A list the user emptied stays empty.
    test::OnboardingRecorder emptied;
    Preferences(emptied.store).setContentIndexFolders({});
    auto& b = emptied.make();
    reachContentFolders(b);
    b.advanceFromContentFolders();
    EXPECT_EQ(emptied.store->stringListValue("app.ulmaro.contentIndexFolders"),
              std::vector<std::string>{});
}

TEST(OnboardingFlow, FinishingTwiceCompletesTwiceAndStartsIndexingOnce) {
    test::OnboardingRecorder r;
    auto& model = r.make();
    model.advanceFromWelcome();
    r.takeEvents();

    model.complete();
    model.skip();
    EXPECT_EQ(r.events, (Events{"no step", "onCompleted", "no step", "onCompleted"}));
    EXPECT_TRUE(OnboardingStore::hasCompleted(*r.store));

    test::OnboardingRecorder never;
    auto& fresh = never.make(false);
    fresh.skip();
    fresh.complete();
    EXPECT_EQ(never.events,
              (Events{"no step", "startIndexing", "onCompleted", "no step", "onCompleted"}));
}

TEST(OnboardingFlow, ImplementsTheStateThePanelReads) {
    test::OnboardingRecorder r;
    auto& model = r.make();
    OnboardingState& state = model;
    std::vector<bool> seen;
    auto watch = state.subscribeShowing([&](bool showing) { seen.push_back(showing); });

    EXPECT_TRUE(state.isShowing());
    EXPECT_TRUE(state.isFirstRunSession());
    model.advanceFromWelcome();
    state.applyIndexingComplete(42, {});
    EXPECT_EQ(model.step.get(), Step::ready);
    EXPECT_EQ(model.finalCount.get(), 42);
    model.skip();
    EXPECT_FALSE(state.isShowing());
    EXPECT_TRUE(state.isFirstRunSession()) << "fixed for the session";
    EXPECT_EQ(seen, (std::vector{true, true, false}));
}

} // namespace
} // namespace ulmaro
