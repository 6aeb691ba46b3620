#include "OnboardingFixture.h"
#include "UlmaroAppKit/Onboarding/OnboardingCopy.h"
#include "UlmaroAppKit/Text/UserLocale.h"
#include "support/TempDir.h"

#include <clocale>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using Step = OnboardingStep;
using test::drive;

TEST(OnboardingStep, RawValuesOneToEight) {
    EXPECT_EQ(onboardingStepFromRaw(0), std::nullopt);
    EXPECT_EQ(onboardingStepFromRaw(9), std::nullopt);
    EXPECT_EQ(onboardingStepFromRaw(-4), std::nullopt);
    for (int raw = 1; raw <= 8; ++raw) {
        ASSERT_EQ(onboardingStepFromRaw(raw),
                  allOnboardingSteps[static_cast<std::size_t>(raw - 1)]);
        EXPECT_EQ(rawValue(*onboardingStepFromRaw(raw)), raw);
    }
    EXPECT_EQ(onboardingStepFromRaw(3), Step::externalDrives);
}

TEST(OnboardingDerived, ShownStepsDependOnAccessAndDrives) {
    struct Case {
        bool access;
        bool drives;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases = {
        {true,
         false,
         {Step::welcome, Step::indexing, Step::ready, Step::contentFolders, Step::howToSearch,
          Step::tryThese}},
        {false, true, {allOnboardingSteps.begin(), allOnboardingSteps.end()}},
        {true,
         true,
         {Step::welcome, Step::externalDrives, Step::indexing, Step::ready, Step::contentFolders,
          Step::howToSearch, Step::tryThese}},
    };
    for (const auto& c : cases) {
        test::OnboardingRecorder r;
        std::vector<MountedVolume> drives;
        if (c.drives) drives = {drive("a")};
        auto& model = r.make(c.access, drives);
        EXPECT_EQ(model.shownSteps(), c.steps) << c.access << c.drives;
        EXPECT_EQ(model.totalSteps(), static_cast<int>(c.steps.size()));
        EXPECT_EQ(model.position(Step::tryThese), model.totalSteps());
    }
}

TEST(OnboardingDerived, PositionsOfHiddenStepsAndOfNoStep) {
    test::OnboardingRecorder r;
    OnboardingStore::markCompleted(*r.store);
    auto& model = r.make(true);
    EXPECT_EQ(model.stepPosition(), 6) << "no step counts as the last";
    EXPECT_EQ(model.position(Step::permission), 1);
    EXPECT_EQ(model.position(Step::externalDrives), 1);
    EXPECT_EQ(model.position(Step::indexing), 2);
    EXPECT_FALSE(model.shows(Step::permission));
    EXPECT_TRUE(model.shows(Step::welcome));
}

TEST(OnboardingDerived, PhasesTitlesAndCaptions) {
    struct Case {
        std::int64_t filled;
        std::int64_t total;
        OnboardingViewModel::ScanPhase phase;
    };
    using Phase = OnboardingViewModel::ScanPhase;
    const std::vector<Case> cases = {
        {0, 0, Phase::finding},  {0, 500, Phase::finding},    {1, 0, Phase::finding},
        {1, 1, Phase::learning}, {250, 500, Phase::learning},
    };
    test::OnboardingRecorder r;
    auto& model = r.make();
    for (const auto& c : cases) {
        model.applyFillProgress(c.filled, c.total);
        EXPECT_EQ(model.scanPhase(), c.phase) << c.filled << " of " << c.total;
        const bool learning = c.phase == Phase::learning;
        EXPECT_EQ(model.progressTitle(),
                  learning ? OnboardingCopy::indexingLearningTitle : OnboardingCopy::indexingTitle);
        EXPECT_EQ(model.progressCaption(), learning ? OnboardingCopy::indexingLearningCaption
                                                    : OnboardingCopy::indexingFoundSoFar);
    }
}

struct PercentCase {
    std::int64_t filesSoFar;
    std::optional<std::int64_t> expected;
    bool estimate;
    std::int64_t filled;
    std::int64_t fillTotal;
    std::optional<std::string> text;
};

void checkPercentages() {
    const std::vector<PercentCase> cases = {
        // Reading dates and sizes: against the fill total, whatever the scan's total.
        {0, std::nullopt, true, 1000, 1000, "99.9%"},
        {0, std::nullopt, true, 1, 3, "33.3%"},
        {0, 10, false, 420, 1000, "42.0%"},
        {0, std::nullopt, false, 2000, 1000, "99.9%"},
        // Finding: only against a total that an earlier scan counted.
        {421, 1000, false, 0, 0, "42.1%"},
        {5000, 1000, false, 0, 500, "99.9%"},
        {0, 1000, false, 0, 0, "0.0%"},
        {421, 1000, true, 0, 0, std::nullopt},
        {10'000'000, 1000, true, 1, 0, std::nullopt},
        {421, std::nullopt, false, 0, 0, std::nullopt},
        {421, 0, false, 0, 0, std::nullopt},
    };
    test::OnboardingRecorder r;
    auto& model = r.make();
    for (const auto& c : cases) {
        model.applyIndexingProgress(c.filesSoFar);
        model.expectedTotal.set(c.expected);
        model.expectedTotalIsEstimate.set(c.estimate);
        model.applyFillProgress(c.filled, c.fillTotal);
        EXPECT_EQ(model.progressPercentText(), c.text)
            << c.filesSoFar << " found, " << c.filled << " of " << c.fillTotal << " filled";
    }
}

TEST(OnboardingDerived, ProgressPercentage) {
    checkPercentages();
}

TEST(OnboardingDerived, ProgressPercentageKeepsItsPointUnderAGermanLocale) {
    // The toolkit sets the C library's locale from the environment; the text must not follow.
    test::ScopedEnv all("LC_ALL", "de_DE.UTF-8");
    ScopedUserLocale pinned("de_DE");
    const std::string before = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, ""); // stays "C" where the German locale is not installed
    checkPercentages();
    std::setlocale(LC_ALL, before.c_str());
}

TEST(OnboardingDerived, ReadyCountFollowsTheScanUntilTheIndexIsComplete) {
    ScopedUserLocale pinned("en_US");
    test::OnboardingRecorder r;
    auto& model = r.make();
    model.applyIndexingProgress(1500);
    EXPECT_EQ(model.readyCount(), 1500);
    EXPECT_EQ(model.allSetCountLine(), "1,500 files indexed and ready");
    EXPECT_EQ(model.coverageGapText(), std::nullopt);

    model.applyIndexingComplete(1845603, {});
    model.applyIndexingProgress(2000); // a later refresh does not change the count shown
    EXPECT_EQ(model.readyCount(), 1845603);
    EXPECT_EQ(model.allSetCountLine(), "1,845,603 files indexed and ready");
    model.deniedDirectories.set(3);
    EXPECT_EQ(model.coverageGapText(), "3 folders couldn't be read");
    model.deniedDirectories.set(1);
    EXPECT_EQ(model.coverageGapText(), "1 folder couldn't be read");
}

TEST(OnboardingDerived, HotkeyLineNamesTheShortcutInForceOrSaysWhyThereIsNone) {
    using State = HotKeyStatus::State;
    const KeyCombo ctrlShiftK{40, KeyCombo::control | KeyCombo::shift};
    struct Case {
        bool registered;
        std::optional<HotKeyStatus> status; // none: left as built
        std::string line;
    };
    const std::vector<Case> cases = {
        {true, std::nullopt, std::string(OnboardingCopy::readyHotkeyLine)},
        {true, HotKeyStatus{}, std::string(OnboardingCopy::readyHotkeyLine)},
        {true, HotKeyStatus{State::registered, ctrlShiftK},
         "Press Ctrl+Shift+K to open Ulmaro from anywhere."},
        {false, std::nullopt, std::string(OnboardingCopy::readyNoHotkeyLine)},
        {false, HotKeyStatus{State::taken, ctrlShiftK},
         std::string(OnboardingCopy::readyNoHotkeyLine)},
        {false, HotKeyStatus{State::taken, ctrlShiftK, false},
         "Open Ulmaro any time by running ulmaro again."},
        {false, HotKeyStatus{State::noGlobalKeys},
         "Global shortcuts need an X11 session; running ulmaro again summons the panel."},
        // A key registered after the flow was set up (Settings) is named from then on.
        {false, HotKeyStatus{State::registered, ctrlShiftK},
         "Press Ctrl+Shift+K to open Ulmaro from anywhere."},
    };
    for (const auto& c : cases) {
        test::OnboardingRecorder r;
        auto& model = r.make(true, {}, c.registered);
        EXPECT_EQ(model.hotKeyDisplay(), "Alt+Space");
        if (c.status) model.hotKey.set(*c.status);
        EXPECT_EQ(model.allSetHotkeyLine(), c.line);
    }
}

} // namespace
} // namespace ulmaro
