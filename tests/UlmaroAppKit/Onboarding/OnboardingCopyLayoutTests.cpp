#include "UlmaroAppKit/Onboarding/OnboardingCopy.h"
#include "UlmaroAppKit/Onboarding/OnboardingLayout.h"
#include "UlmaroAppKit/Text/UserLocale.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

namespace Copy = OnboardingCopy;
namespace Layout = OnboardingLayout;

TEST(OnboardingCopy, TextsSpeakOfThisComputer) {
    EXPECT_EQ(Copy::welcomeTagline, "Every file on your computer, as fast as you type.");
    EXPECT_EQ(Copy::welcomeButton, "This computer and my drives");
    EXPECT_EQ(Copy::allSetTitle, "Your computer just got searchable");
    EXPECT_EQ(Copy::readyHotkeyLine, "Press Alt+Space to open Ulmaro from anywhere.");
    EXPECT_EQ(Copy::privacyNoIndex, "Folders marked .noindex are skipped.");
    EXPECT_EQ(Copy::indexingLearningCaption, "files found \u00b7 now reading their details");
    EXPECT_EQ(Copy::hotkeyLine("Alt+Space"), Copy::readyHotkeyLine);
    EXPECT_EQ(Copy::searchFooter, Copy::searchLead);
    EXPECT_EQ(Copy::maxDrivesShown, 4);
    ASSERT_EQ(Copy::searchExamples.size(), 5u);
    EXPECT_EQ(Copy::searchExamples[2].query, "contains:brindlewick");
    EXPECT_EQ(Copy::searchExamples[4].meaning, "changed this week");
    for (const auto& text : Copy::all()) {
        EXPECT_EQ(text.find("Mac"), std::string::npos) << text;
        EXPECT_EQ(text.find("\u2325"), std::string::npos) << text;
    }
}

TEST(OnboardingCopy, FunctionsCountWithoutSingularsAndGroupAsEnUs) {
    ScopedUserLocale pinned("de_DE");
    EXPECT_EQ(Copy::moreDrives(1), "and 1 more");
    EXPECT_EQ(Copy::moreDrives(12000), "and 12000 more");
    EXPECT_EQ(Copy::allSetCountLine(0), "0 files indexed and ready");
    EXPECT_EQ(Copy::allSetCountLine(1000), "1,000 files indexed and ready");
    EXPECT_EQ(Copy::allSetCountLine(1845603), "1,845,603 files indexed and ready");
    EXPECT_EQ(Copy::tryTheseFooter(1), "Searched all 1 files on this computer to find these.");
    EXPECT_EQ(Copy::readyHotkeyLineFor("Ctrl+K"),
              "Press Ctrl+K to open Ulmaro from anywhere \u2014 in any app, any time.");
}

TEST(OnboardingCopy, AllListsEveryTextInOrder) {
    const auto& all = Copy::all();
    ASSERT_EQ(all.size(), 34u);
    EXPECT_EQ(all.front(), "Ulmaro");
    EXPECT_EQ(all.back(), "1,845,603 files indexed and ready");
    EXPECT_EQ(all[27], "and 2 more");
    EXPECT_EQ(all[28], "Press Alt+Space to open Ulmaro from anywhere \u2014 in any app, any time.");
    EXPECT_EQ(all[30], "Searched all 1,845,603 files on this computer to find these.");
    EXPECT_EQ(&Copy::all(), &all) << "built once";
}

TEST(OnboardingLayout, ContentFolderListGrowsToThreeRows) {
    const std::vector<std::pair<int, double>> cases = {{-1, 0}, {0, 0},  {1, 27}, {2, 58},
                                                       {3, 89}, {4, 89}, {40, 89}};
    for (auto [rows, height] : cases)
        EXPECT_EQ(Layout::contentFolderListHeight(rows), height) << rows << " rows";
}

TEST(OnboardingLayout, EveryStepHasTheSameOutline) {
    const Layout::Size expected{624, 320};
    EXPECT_EQ(Layout::contentSize(OnboardingStep::welcome), expected);
    EXPECT_EQ(Layout::contentSize(OnboardingStep::tryThese), expected);
    EXPECT_EQ(Layout::contentSize(std::nullopt), expected);
    EXPECT_EQ(Layout::titleZoneHeight + Layout::bodyZoneHeight + Layout::actionZoneHeight,
              Layout::contentHeight);
    EXPECT_EQ(Layout::contentWidth + 2 * Layout::panelHorizontalPadding, Layout::panelWidth);
}

} // namespace
} // namespace ulmaro
