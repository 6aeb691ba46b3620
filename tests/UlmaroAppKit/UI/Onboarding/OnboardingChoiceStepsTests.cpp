#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Fakes/ScriptedFileChooser.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/UI/Kit/ElidedLabel.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/StyledButton.h"
#include "UlmaroAppKit/UI/Onboarding/ContentFoldersStep.h"
#include "UlmaroAppKit/UI/Onboarding/ExternalDrivesStep.h"
#include "UlmaroAppKit/UI/Onboarding/HowToSearchContent.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingBodyZone.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingStepShell.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingStepView.h"
#include "support/GoldenImage.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using Step = OnboardingStep;
using Strings = std::vector<std::string>;

const Strings defaults = {"/home/tester/Documents", "/home/tester/Desktop",
                          "/home/tester/Downloads"};

std::vector<MountedVolume> drives(int count) {
    std::vector<MountedVolume> all;
    for (int i = 1; i <= count; ++i)
        all.push_back({"uuid-" + std::to_string(i), "/media/tester/Drive " + std::to_string(i),
                       "Drive " + std::to_string(i), std::int64_t(i) * 500'107'862'016LL});
    return all;
}

/// The real model and settings over an in-memory store, a step view whose chooser is
/// scripted.
struct ChoiceFixture {
    test::TempDir config;
    test::ScopedEnv home{"HOME", "/home/tester"};
    test::ScopedEnv xdg{"XDG_CONFIG_HOME", config.path().string()};
    std::shared_ptr<InMemorySettingsStore> store = std::make_shared<InMemorySettingsStore>();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    ScriptedFileChooser chooser;
    std::unique_ptr<OnboardingViewModel> model;
    std::unique_ptr<OnboardingStepView> view;

    explicit ChoiceFixture(int driveCount = 0) {
        model = std::make_unique<OnboardingViewModel>(true, store, true, drives(driveCount),
                                                      OnboardingViewModel::Callbacks{});
        OnboardingStepView::Options options;
        options.timers = clock;
        options.chooser = &chooser;
        view = std::make_unique<OnboardingStepView>(*model, OnboardingStepView::Callbacks{},
                                                    std::move(options));
        view->show();
    }

    ContentFoldersStep& content() {
        if (model->step.get() != Step::contentFolders) model->step.set(Step::contentFolders);
        auto* page = qobject_cast<ContentFoldersStep*>(view->page());
        EXPECT_NE(page, nullptr);
        return *page;
    }
    void add(std::optional<Strings> answer) {
        chooser.folderAnswers.push_back(std::move(answer));
        content().addButton().click();
    }
    QStringList rowTitles() {
        QStringList titles;
        for (auto* label : content().list().widget()->findChildren<QLabel*>())
            if (!label->text().isEmpty()) titles << label->text();
        return titles;
    }
    QList<StyledButton*> removeButtons() {
        return content().list().widget()->findChildren<StyledButton*>();
    }
    int listHeight() { return content().list().height(); }
    bool scrolls() {
        QApplication::processEvents();
        return content().list().verticalScrollBar()->maximum() > 0;
    }
};

TEST(ContentFoldersStep, AddingGoesThroughTheSettingsAndShowsTheStoredList) {
    ChoiceFixture f;
    EXPECT_EQ(f.content().shell().titleLabel().text(), "Search inside your documents");
    EXPECT_EQ(f.view->contentFolders(), defaults) << "the defaults first, in their order";
    EXPECT_EQ(f.rowTitles(), QStringList({"Documents", "Desktop", "Downloads"}));
    EXPECT_EQ(f.listHeight(), 89);
    EXPECT_FALSE(f.scrolls());

    f.add(Strings{"/data/Archive"});
    const Strings four = {"/data/Archive", "/home/tester/Desktop", "/home/tester/Documents",
                          "/home/tester/Downloads"};
    EXPECT_EQ(f.view->contentFolders(), four);
    EXPECT_EQ(f.model->preferences().contentIndexFolders(), four);
    EXPECT_FALSE(f.model->preferences().hasChosenContentFolders()) << "adding never chooses";
    EXPECT_EQ(f.listHeight(), 89);
    EXPECT_TRUE(f.scrolls());
    ASSERT_EQ(f.chooser.folderRequests.size(), 1u);
    EXPECT_EQ(f.chooser.folderRequests[0],
              (ScriptedFileChooser::FolderRequest{std::nullopt, false}));

    // A duplicate, with or without its trailing slash, and a cancelled chooser change nothing.
    f.add(Strings{"/data/Archive/", "/home/tester/Desktop"});
    f.add(std::nullopt);
    EXPECT_EQ(f.view->contentFolders(), four);
    EXPECT_EQ(f.model->preferences().contentIndexFolders(), four);

    // Several at once, appended in order; the list shows the sorted union.
    f.add(Strings{"/srv/b", "/srv/a"});
    EXPECT_EQ(f.view->contentFolders().size(), 6u);
    EXPECT_TRUE(std::is_sorted(f.view->contentFolders().begin(), f.view->contentFolders().end()));
    EXPECT_EQ(f.rowTitles().mid(4), QStringList({"a", "b"}));

    // OK with nothing chosen still reloads from the settings.
    f.model->preferences().setContentIndexFolders({"/x"});
    f.add(Strings{});
    EXPECT_EQ(f.view->contentFolders(), Strings{"/x"});
    EXPECT_EQ(f.listHeight(), 27);
}

TEST(ContentFoldersStep, RemovingDropsOnlyThatPathAndEmptyStaysEmpty) {
    ChoiceFixture f;
    f.model->preferences().setContentIndexFolders({"/home/tester/Documents", "/mnt/old/Documents"});
    f.model->step.set(Step::howToSearch);
    EXPECT_EQ(f.rowTitles(), QStringList({"Documents", "Documents"})) << "two rows, one label";
    EXPECT_EQ(f.listHeight(), 58);
    EXPECT_FALSE(f.scrolls());
    auto buttons = f.removeButtons();
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(buttons[0]->toolTip(), PlainText::toolTip("Do not read contents in this folder"));

    buttons[1]->click();
    EXPECT_EQ(f.view->contentFolders(), Strings{"/home/tester/Documents"});
    EXPECT_TRUE(f.model->preferences().hasChosenContentFolders());
    f.removeButtons().at(0)->click();
    EXPECT_TRUE(f.view->contentFolders().empty());
    EXPECT_EQ(f.rowTitles(), QStringList({"No folders selected. Ulmaro will search names only."}));
    EXPECT_EQ(f.listHeight(), 27);

    // Next time on screen: still empty, the defaults do not come back.
    f.model->step.set(Step::howToSearch);
    EXPECT_TRUE(f.content().list().widget()->findChildren<StyledButton*>().empty());
    EXPECT_TRUE(f.view->contentFolders().empty());
}

TEST(ContentFoldersStep, ARowShowsItsLastComponentAsRepairedText) {
    const std::vector<std::pair<std::string, QString>> cases = {
        {"/home/tester/Documents", "Documents"},
        {"/data/caf\xe9", QString::fromUtf8("caf\xef\xbf\xbd")},
        {"/", "/"},
        {"/srv/<b>x", "<b>x"},
    };
    for (const auto& [path, title] : cases)
        EXPECT_EQ(ContentFoldersStep::rowTitle(path), title) << path;
}

TEST(ContentFoldersStep, ContinueStoresAndMovesOn) {
    ChoiceFixture f;
    f.content();
    auto* next = f.content().shell().actionZone().findChild<QPushButton*>();
    ASSERT_NE(next, nullptr);
    next->click();
    EXPECT_EQ(f.model->step.get(), Step::howToSearch);
    EXPECT_TRUE(f.model->preferences().hasChosenContentFolders());
}

TEST(ExternalDrivesStep, ShowsFourAtMostAndSaysHowManyMore) {
    struct Case {
        int drives;
        std::size_t rows;
        const char* more;
    };
    for (const Case& c : std::vector<Case>{
             {1, 1, nullptr}, {4, 4, nullptr}, {5, 4, "and 1 more"}, {6, 4, "and 2 more"}}) {
        ChoiceFixture f(c.drives);
        f.model->step.set(Step::externalDrives);
        auto* page = qobject_cast<ExternalDrivesStep*>(f.view->page());
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->shell().titleLabel().text(), "Catalog your drives?");
        EXPECT_EQ(page->boxes().size(), c.rows) << c.drives;
        if (c.more)
            EXPECT_EQ(page->moreLine() ? page->moreLine()->text() : QString(), c.more);
        else
            EXPECT_EQ(page->moreLine(), nullptr);
    }
}

TEST(ExternalDrivesStep, AClickTogglesTheFlowAndTheBoxesFollowIt) {
    ChoiceFixture f(2);
    f.model->step.set(Step::externalDrives);
    auto* page = qobject_cast<ExternalDrivesStep*>(f.view->page());
    ASSERT_NE(page, nullptr);
    auto* first = page->boxes()[0];
    const bool startsTicked = f.model->drivesToCatalog.get().contains("uuid-1");
    EXPECT_EQ(first->isChecked(), startsTicked);
    first->click();
    EXPECT_EQ(f.model->drivesToCatalog.get().contains("uuid-1"), !startsTicked);
    EXPECT_EQ(first->isChecked(), !startsTicked);
    first->click();
    EXPECT_EQ(f.model->drivesToCatalog.get().contains("uuid-1"), startsTicked);
    EXPECT_EQ(first->isChecked(), startsTicked);
    // The flow changing on its own redraws the boxes too.
    f.model->toggleDrive("uuid-2");
    EXPECT_EQ(page->boxes()[1]->isChecked(), f.model->drivesToCatalog.get().contains("uuid-2"));
}

SearchSyntax::Group group(std::string title, std::string summary, Strings examples = {"a:b"}) {
    SearchSyntax::Group g{std::move(title), std::move(summary), {}};
    for (auto& e : examples)
        g.entries.push_back({std::move(e), "meaning", std::nullopt});
    return g;
}

TEST(HowToSearchContent, CardsInRowsOfTwoTheLastAloneTakingTheRow) {
    const auto four = SearchSyntax::onboardingGroups();
    ASSERT_EQ(four.size(), 4u);
    auto three = std::vector<SearchSyntax::Group>(four.begin(), four.begin() + 3);
    for (const auto& groups : {four, three}) {
        HowToSearchContent content(groups);
        content.resize(560, 400);
        content.show();
        QApplication::processEvents();
        const auto& cards = content.cards();
        ASSERT_EQ(cards.size(), groups.size());
        EXPECT_EQ(cards[0]->geometry().top(), cards[1]->geometry().top());
        EXPECT_NEAR(cards[0]->width(), cards[1]->width(), 1) << "the row shared equally";
        EXPECT_EQ(cards[2]->geometry().top(),
                  std::max(cards[0]->geometry().bottom(), cards[1]->geometry().bottom()) + 1 + 6);
        EXPECT_LE(cards[0]->width() + cards[1]->width() + 8, 460);
        if (groups.size() == 4) {
            EXPECT_EQ(cards[3]->geometry().top(), cards[2]->geometry().top());
        } else {
            EXPECT_EQ(cards[2]->width(), cards[0]->width() + cards[1]->width() + 8)
                << "alone, the whole row";
        }
    }
}

TEST(HowToSearchContent, ACardWithoutEntriesHasNoChipAndALongSummaryStaysOnOneLine) {
    const std::string longSummary(400, 'w');
    HowToSearchContent content(
        {group("By kind", "Files of a kind"), group("Empty", longSummary, {})});
    content.resize(560, 400);
    content.show();
    QApplication::processEvents();
    auto* withChip = content.cards()[0];
    auto* without = content.cards()[1];
    EXPECT_GT(withChip->height(), without->height()) << "a chip's height more";
    auto* summary = without->findChild<ElidedLabel*>();
    ASSERT_NE(summary, nullptr);
    EXPECT_TRUE(summary->shownText().endsWith(QChar(0x2026)));
    EXPECT_LE(summary->height(), summary->fontMetrics().height() + 2);
}

// At the step's 624 × 320 with the bundled font, the drive step with four drives or more and
// the closing step's fallback (no suggestions) fit their body: no scroll bar, nothing cut.
TEST(OnboardingChoiceSteps, TheDriveStepAndTheClosingFallbackFitTheirBody) {
    auto fits = [](OnboardingStepView& view, const char* what) {
        QApplication::processEvents();
        const auto zones = view.page()->findChildren<OnboardingBodyZone*>();
        ASSERT_EQ(zones.size(), 1) << what;
        EXPECT_FALSE(zones[0]->verticalScrollBar()->isVisible()) << what;
        EXPECT_LE(zones[0]->content()->height(), zones[0]->viewport()->height()) << what;
        for (const auto* label : view.page()->findChildren<ElidedLabel*>())
            EXPECT_EQ(label->shownText(), label->text()) << what;
    };
    for (const int drives : {4, 5, 8}) {
        ChoiceFixture f(drives);
        f.model->step.set(Step::externalDrives);
        fits(*f.view, drives == 4 ? "four drives" : "more than four drives");
    }
    ChoiceFixture f;
    f.model->applyIndexingComplete(1'845'603, {});
    f.model->step.set(Step::tryThese);
    fits(*f.view, "the fallback");
}

void expectGolden(ChoiceFixture& f, const char* name) {
    QApplication::processEvents();
    EXPECT_TRUE(test::matchesGolden(test::grabForGolden(*f.view), name)) << name;
}

TEST(OnboardingChoiceStepsGolden, Pages) {
    for (const auto& [folders, name] : std::vector<std::pair<Strings, const char*>>{
             {{}, "onboarding-content-none"},
             {{"/home/tester/Documents", "/mnt/projects/Reports"}, "onboarding-content-two"},
             {{"/a/Archive", "/home/tester/Desktop", "/home/tester/Documents",
               "/home/tester/Downloads"},
              "onboarding-content-four"}}) {
        ChoiceFixture f;
        f.model->preferences().setContentIndexFolders(folders);
        f.content();
        expectGolden(f, name);
    }
    {
        ChoiceFixture f(5);
        f.model->step.set(Step::externalDrives);
        f.model->toggleDrive("uuid-2");
        expectGolden(f, "onboarding-drives-five");
    }
    {
        ChoiceFixture f;
        f.model->step.set(Step::howToSearch);
        expectGolden(f, "onboarding-how-to-search");
    }
}

} // namespace
} // namespace ulmaro
