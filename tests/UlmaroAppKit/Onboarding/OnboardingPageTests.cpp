#include "OnboardingFixture.h"
#include "UlmaroAppKit/Onboarding/OnboardingCopy.h"
#include "UlmaroAppKit/Onboarding/OnboardingPage.h"
#include "UlmaroAppKit/Text/UserLocale.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using namespace test;
using Step = OnboardingStep;
using Body = OnboardingPage::ReadyBody;

TEST(OnboardingPage, PageTitleAndDotsPerStep) {
    ScopedUserLocale pinned("de_DE");
    struct Case {
        const char* what;
        bool access;
        int drives;
        std::optional<Step> step;
        std::function<void(OnboardingViewModel&)> prepare;
        Step page;
        std::string title;
        int position, total;
    };
    const auto none = [](OnboardingViewModel&) {};
    const std::vector<Case> cases = {
        {"welcome without access, with drives", false, 1, Step::welcome, none, Step::welcome,
         "Ulmaro", 1, 8},
        {"welcome with access, no drives", true, 0, Step::welcome, none, Step::welcome, "Ulmaro", 1,
         6},
        {"permission", false, 0, Step::permission, none, Step::permission,
         "Let Ulmaro see your files", 2, 7},
        {"indexing while finding", true, 0, Step::indexing, none, Step::indexing,
         "Finding your files", 2, 6},
        {"indexing while learning", true, 0, Step::indexing,
         [](OnboardingViewModel& m) { m.applyFillProgress(10, 100); }, Step::indexing,
         "Learning dates & sizes", 2, 6},
        {"ready, complete with nothing", true, 0, Step::ready,
         [](OnboardingViewModel& m) { m.applyIndexingComplete(0, {}); }, Step::ready,
         "Ready. 0 files found.", 3, 6},
        {"ready, still counting", true, 0, Step::ready,
         [](OnboardingViewModel& m) { m.applyIndexingProgress(1'234'567); }, Step::ready,
         "1,234,567 files found so far.", 3, 6},
        {"ready without access", false, 0, Step::ready,
         [](OnboardingViewModel& m) { m.applyIndexingComplete(99, {}); }, Step::ready,
         "Ulmaro can only see part of your computer", 4, 7},
        {"no step shows try-these on the last dot", true, 0, std::nullopt, none, Step::tryThese,
         std::string(OnboardingCopy::allSetTitle), 6, 6},
        {"try-these with suggestions", true, 0, Step::tryThese,
         [](OnboardingViewModel& m) {
             RankedRow row;
             row.id = 1;
             row.path = "/home/tester/a.txt";
             m.applyIndexingComplete(5, {row});
         },
         Step::tryThese, std::string(OnboardingCopy::tryTheseHeader), 6, 6},
    };
    for (const Case& c : cases) {
        TesterHome home;
        OnboardingRecorder r;
        std::vector<MountedVolume> drives;
        for (int i = 0; i < c.drives; ++i)
            drives.push_back(drive("d" + std::to_string(i)));
        auto& m = r.make(c.access, drives);
        c.prepare(m);
        m.step.set(c.step);
        EXPECT_EQ(OnboardingPage::pageFor(m.step.get()), c.page) << c.what;
        EXPECT_EQ(OnboardingPage::title(m), c.title) << c.what;
        EXPECT_EQ(m.stepPosition(), c.position) << c.what;
        EXPECT_EQ(m.totalSteps(), c.total) << c.what;
    }
}

TEST(OnboardingPage, ReadyBodyAndPercentLine) {
    struct Case {
        bool access, hotkey;
        Body body;
    };
    for (const Case& c : std::vector<Case>{{true, true, Body::shortcut},
                                           {true, false, Body::noShortcut},
                                           {false, true, Body::accessCallout},
                                           {false, false, Body::accessCallout}}) {
        OnboardingRecorder r;
        auto& m = r.make(c.access, {}, c.hotkey);
        EXPECT_EQ(OnboardingPage::readyBody(m), c.body) << c.access << c.hotkey;
    }

    OnboardingRecorder r;
    auto& m = r.make();
    m.expectedTotal.set(1000);
    m.expectedTotalIsEstimate.set(true);
    m.applyIndexingProgress(420);
    EXPECT_EQ(OnboardingPage::percentLine(m), std::nullopt) << "no percentage against an estimate";
    m.expectedTotalIsEstimate.set(false);
    EXPECT_EQ(OnboardingPage::percentLine(m), "42.0% of your computer");
    m.applyFillProgress(1, 8);
    EXPECT_EQ(OnboardingPage::percentLine(m), "12.5% done");
}

TEST(OnboardingPage, CoverageNote) {
    struct Case {
        std::int64_t denied;
        std::optional<std::string> note;
    };
    for (const Case& c : std::vector<Case>{{0, std::nullopt},
                                           {1, "1 folder couldn't be read"},
                                           {3, "3 folders couldn't be read"}}) {
        OnboardingRecorder r;
        auto& m = r.make();
        m.deniedDirectories.set(c.denied);
        m.applyIndexingComplete(100, {});
        EXPECT_EQ(m.coverageGapText(), c.note) << c.denied;
    }
}

} // namespace
} // namespace ulmaro
