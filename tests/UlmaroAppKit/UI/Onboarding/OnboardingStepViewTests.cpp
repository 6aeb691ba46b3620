#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Onboarding/OnboardingCopy.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/Panel/OverlayViewModelFixture.h"
#include "UlmaroAppKit/UI/Onboarding/CountingLabel.h"
#include "UlmaroAppKit/UI/Onboarding/KeyCap.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingPages.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingStepShell.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingStepView.h"
#include "UlmaroAppKit/UI/Onboarding/StepDots.h"
#include "UlmaroAppKit/UI/Onboarding/TryTheseStep.h"
#include "support/GoldenImage.h"
#include "support/TempDir.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using Step = OnboardingStep;
using Strings = std::vector<std::string>;

/// The real model over an in-memory store and a view whose callbacks, and the model's,
/// write one log.
struct StepViewFixture {
    test::TempDir config;
    test::ScopedEnv home{"HOME", "/home/tester"};
    test::ScopedEnv xdg{"XDG_CONFIG_HOME", config.path().string()};
    std::shared_ptr<InMemorySettingsStore> store = std::make_shared<InMemorySettingsStore>();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    Strings log;
    std::unique_ptr<OnboardingViewModel> model;
    std::unique_ptr<OnboardingStepView> view;

    explicit StepViewFixture(bool access = true, bool hotkey = true, bool canAsk = false,
                             std::vector<MountedVolume> drives = {}) {
        OnboardingViewModel::Callbacks flow;
        flow.startIndexing = [this] { log.push_back("model: startIndexing"); };
        flow.onCompleted = [this] { log.push_back("model: onCompleted"); };
        flow.onChoseCatalogOnly = [this] { log.push_back("model: onChoseCatalogOnly"); };
        model = std::make_unique<OnboardingViewModel>(hotkey, store, access, std::move(drives),
                                                      std::move(flow));
        auto record = [this](const char* name) { return [this, name] { log.push_back(name); }; };
        OnboardingStepView::Callbacks callbacks{record("grant"),
                                                record("advanceFromPermission"),
                                                record("advanceFromWelcome"),
                                                record("continueInBackground"),
                                                record("advanceFromIndexing"),
                                                record("advanceFromReady"),
                                                record("complete")};
        OnboardingStepView::Options options;
        options.canAskForAccess = canAsk;
        options.timers = clock;
        view =
            std::make_unique<OnboardingStepView>(*model, std::move(callbacks), std::move(options));
        view->show();
    }

    QPushButton* button(const QString& title) const {
        for (auto* b : view->page()->findChildren<QPushButton*>())
            if (b->text() == title) return b;
        return nullptr;
    }
    bool click(const QString& title) {
        auto* b = button(title);
        if (!b) return false;
        b->click();
        return true;
    }
    QStringList labels() const {
        QStringList texts;
        for (auto* label : view->page()->findChildren<QLabel*>())
            if (!label->text().isEmpty()) texts << label->text();
        return texts;
    }
};

QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

TEST(OnboardingStepView, EachButtonReachesItsCallback) {
    struct Case {
        const char* what;
        bool access;
        std::optional<Step> step;
        bool canAsk;
        QString button;
        Strings log;
        std::optional<Step> stepAfter;
    };
    const QString allow = "Allow Full Disk Access…";
    const std::vector<Case> cases = {
        {"search everything",
         true,
         Step::welcome,
         false,
         qt(OnboardingCopy::welcomeButton),
         {"advanceFromWelcome"},
         Step::welcome},
        {"catalog only answers in the model",
         true,
         Step::welcome,
         false,
         qt(OnboardingCopy::welcomeCatalogOnlyButton),
         {"model: onCompleted", "model: onChoseCatalogOnly"},
         std::nullopt},
        {"allow leaves the permission step on screen",
         false,
         Step::permission,
         false,
         allow,
         {"grant"},
         Step::permission},
        {"not now",
         false,
         Step::permission,
         false,
         "Not now",
         {"advanceFromPermission"},
         Step::permission},
        {"indexing",
         true,
         Step::indexing,
         false,
         "Continue",
         {"advanceFromIndexing"},
         Step::indexing},
        {"ready", true, Step::ready, false, "Continue", {"advanceFromReady"}, Step::ready},
        {"the access callout", false, Step::ready, false, allow, {"grant"}, Step::ready},
        {"the coverage note where asking can help",
         true,
         Step::ready,
         true,
         allow,
         {"grant"},
         Step::ready},
        {"done", true, Step::tryThese, false, "Done", {"complete"}, Step::tryThese},
    };
    for (const Case& c : cases) {
        StepViewFixture f(c.access, true, c.canAsk);
        f.model->deniedDirectories.set(2);
        f.model->step.set(c.step);
        f.log.clear();
        ASSERT_TRUE(f.click(c.button)) << c.what;
        EXPECT_EQ(f.log, c.log) << c.what;
        EXPECT_EQ(f.model->step.get(), c.stepAfter) << c.what;
    }

    // On Linux the probe cannot ask: the coverage line stays, the button does not.
    StepViewFixture f(true, true, false);
    f.model->deniedDirectories.set(2);
    f.model->step.set(Step::ready);
    EXPECT_EQ(f.button(allow), nullptr);
    EXPECT_TRUE(f.labels().contains("2 folders couldn't be read"));
}

TEST(OnboardingStepView, AStepChangeSwapsThePageInsideAFixedFrame) {
    StepViewFixture f(false, true, false, {MountedVolume{}});
    struct Case {
        std::optional<Step> step;
        const char* pageClass;
        int dot;
    };
    const std::vector<Case> cases = {
        {Step::welcome, "ulmaro::OnboardingPages::Welcome", 1},
        {Step::permission, "ulmaro::OnboardingPages::Permission", 2},
        {Step::externalDrives, "ulmaro::ExternalDrivesStep", 3},
        {Step::indexing, "ulmaro::OnboardingPages::Indexing", 4},
        {Step::ready, "ulmaro::OnboardingPages::Ready", 5},
        {Step::tryThese, "ulmaro::TryTheseStep", 8},
        {std::nullopt, "ulmaro::TryTheseStep", 8},
    };
    const QWidget* previous = nullptr;
    for (const Case& c : cases) {
        f.model->step.set(c.step);
        QWidget* page = f.view->page();
        EXPECT_STREQ(page->metaObject()->className(), c.pageClass);
        EXPECT_NE(page, previous) << "a new page for every step";
        previous = page;
        EXPECT_EQ(page->size(), QSize(624, 320)) << c.pageClass;
        EXPECT_EQ(f.view->pageFrame().size(), QSize(624, 320));
        EXPECT_EQ(f.view->dots().geometry().top(),
                  f.view->pageFrame().geometry().bottom() + 1 + 20);
        EXPECT_EQ(f.view->dots().sizeHint().width(), 8 * 6 + 7 * 6);
        EXPECT_EQ(f.view->pageFrame().geometry().left(), 28);
        EXPECT_EQ(f.view->pageFrame().geometry().top(), 30);
        // Nothing of the page reaches past the frame.
        for (auto* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_TRUE(QRect(QPoint(), page->size()).contains(child->geometry()))
                << c.pageClass << " " << child->metaObject()->className();
        }
        EXPECT_EQ(f.view->dots().current(), c.dot) << c.pageClass;
        EXPECT_EQ(f.view->dots().total(), 8);
    }
    EXPECT_TRUE(f.view->contentFolders().empty());
}

TEST(OnboardingStepView, TheIndexingPageCountsUpInPlaceAndEndsOnTheFinalValue) {
    StepViewFixture f;
    f.model->expectedTotal.set(10'000);
    f.model->step.set(Step::indexing);
    auto* page = qobject_cast<OnboardingPages::Indexing*>(f.view->page());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->shell().titleLabel().text(), "Finding your files");

    for (std::int64_t found : {120, 2'400, 4'321}) {
        f.model->applyIndexingProgress(found);
        EXPECT_EQ(f.view->page(), page) << "updated in place";
    }
    EXPECT_EQ(page->count().value(), 4'321);
    page->count().finishTransition();
    EXPECT_EQ(page->count().shownText(), "4,321");
    EXPECT_EQ(page->percent().text(), "43.2% of your computer");

    f.model->expectedTotalIsEstimate.set(true);
    EXPECT_TRUE(page->percent().isHidden()) << "no line without a percentage";
    f.model->applyFillProgress(50, 200);
    EXPECT_EQ(page->shell().titleLabel().text(), "Learning dates & sizes");
    EXPECT_EQ(page->percent().text(), "25.0% done");
    EXPECT_FALSE(page->percent().isHidden());
}

TEST(OnboardingStepView, ReadyTitleCapsAndNotes) {
    struct Case {
        const char* what;
        bool access, hotkey;
        std::int64_t denied;
        std::vector<QString> caps;
        bool pluses;
        std::optional<QString> note;
    };
    const std::vector<Case> cases = {
        {"shortcut, every folder read", true, true, 0, {"Alt", "Space"}, true, std::nullopt},
        {"shortcut, one folder unread",
         true,
         true,
         1,
         {"Alt", "Space"},
         true,
         "1 folder couldn't be read"},
        {"no shortcut", true, false, 3, {}, false, "3 folders couldn't be read"},
        {"no access: neither caps nor note", false, true, 5, {}, false, std::nullopt},
    };
    for (const Case& c : cases) {
        StepViewFixture f(c.access, c.hotkey);
        f.model->deniedDirectories.set(c.denied);
        f.model->step.set(Step::ready);
        f.model->applyIndexingComplete(0, {});
        auto* page = qobject_cast<OnboardingPages::Ready*>(f.view->page());
        ASSERT_NE(page, nullptr) << c.what;
        std::vector<QString> caps;
        for (auto* cap : page->findChildren<KeyCap*>())
            caps.push_back(cap->symbol());
        EXPECT_EQ(caps, c.caps) << c.what;
        for (auto* cap : page->findChildren<KeyCap*>())
            EXPECT_GE(cap->sizeHint().width(), 96) << "both pieces are wide";
        EXPECT_EQ(f.labels().contains("+"), c.pluses) << c.what;
        const auto note = page->coverageLine()
                              ? std::optional<QString>(page->coverageLine()->text())
                              : std::optional<QString>();
        EXPECT_EQ(note, c.note) << c.what;
        EXPECT_EQ(page->shell().titleLabel().text(),
                  c.access ? "Ready. 0 files found." : "Ulmaro can only see part of your computer");
    }

    // The title counts on while the build runs, and the caps follow the shortcut.
    StepViewFixture f;
    f.model->step.set(Step::ready);
    f.model->applyIndexingProgress(1'234);
    auto* page = qobject_cast<OnboardingPages::Ready*>(f.view->page());
    EXPECT_EQ(page->shell().titleLabel().text(), "1,234 files found so far.");
    f.model->hotKey.set({HotKeyStatus::State::registered, {40, KeyCombo::command}});
    std::vector<QString> caps;
    for (auto* cap : f.view->page()->findChildren<KeyCap*>())
        caps.push_back(cap->symbol());
    EXPECT_EQ(caps, (std::vector<QString>{"Super", "K"}));
    EXPECT_TRUE(f.labels().contains("Press Super+K to open Ulmaro from anywhere — in any app, any "
                                    "time."));
}

TEST(OnboardingStepView, HostedByTheOverlayWhileAStepShows) {
    test::TempDir config;
    test::ScopedEnv xdg{"XDG_CONFIG_HOME", config.path().string()};
    test::OverlayFixture panel;
    auto flow = std::make_shared<OnboardingViewModel>(
        true, std::make_shared<InMemorySettingsStore>(), true, std::vector<MountedVolume>{},
        OnboardingViewModel::Callbacks{});
    flow->step.set(std::nullopt);
    Strings log;
    OverlayView::Callbacks callbacks;
    callbacks.onAdvanceFromWelcome = [&] { log.push_back("welcome"); };
    callbacks.onDeferFullDiskAccess = [&] { log.push_back("defer"); };
    callbacks.onDismiss = [&] {
        log.push_back("dismiss");
        flow->skip();
    };
    OverlayView overlay(panel.model, flow, callbacks);
    OnboardingStepView::Options options;
    options.timers = std::make_shared<ManualClock>();
    overlay.setStepViewFactory(OnboardingStepView::overlayFactory(flow, callbacks, options));
    overlay.show();
    const int searchHeight = overlay.height();
    EXPECT_EQ(overlay.placeWidget(OverlayView::Place::onboarding), nullptr);

    auto hosted = [&] {
        QWidget* place = overlay.placeWidget(OverlayView::Place::onboarding);
        if (auto* view = qobject_cast<OnboardingStepView*>(place)) return view;
        return place ? place->findChild<OnboardingStepView*>() : nullptr;
    };
    flow->step.set(Step::welcome);
    QCoreApplication::processEvents();
    OnboardingStepView* stepView = hosted();
    ASSERT_NE(stepView, nullptr);
    EXPECT_EQ(overlay.height(), 30 + 320 + 20 + 6 + 30) << "the panel takes the flow's height";
    EXPECT_NE(overlay.height(), searchHeight);
    EXPECT_TRUE(test::matchesGolden(test::grabForGolden(overlay), "onboarding-in-panel"));
    stepView->contentFolders().push_back("/home/tester/Documents");

    for (auto* b : stepView->page()->findChildren<QPushButton*>())
        if (b->text() == qt(OnboardingCopy::welcomeButton)) b->click();
    EXPECT_EQ(log, Strings{"welcome"});

    // Escape dismisses, and the shell's dismissal finishes the flow: the step view goes.
    QTest::keyClick(stepView, Qt::Key_Escape);
    EXPECT_EQ(log, (Strings{"welcome", "dismiss"}));
    EXPECT_EQ(flow->step.get(), std::nullopt);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    EXPECT_EQ(hosted(), nullptr);

    flow->step.set(Step::welcome);
    QCoreApplication::processEvents();
    ASSERT_NE(hosted(), nullptr);
    EXPECT_TRUE(hosted()->contentFolders().empty()) << "a new step view each time";
}

void expectGolden(StepViewFixture& f, const char* name) {
    EXPECT_TRUE(test::matchesGolden(test::grabForGolden(*f.view), name)) << name;
}

TEST(OnboardingStepViewGolden, Pages) {
    {
        StepViewFixture f;
        expectGolden(f, "onboarding-welcome");
    }
    {
        StepViewFixture f(false);
        f.model->step.set(Step::permission);
        expectGolden(f, "onboarding-permission");
    }
    {
        StepViewFixture f;
        f.model->expectedTotal.set(2'000'000);
        f.model->step.set(Step::indexing);
        f.model->applyIndexingProgress(845'603);
        static_cast<OnboardingPages::Indexing*>(f.view->page())->count().finishTransition();
        expectGolden(f, "onboarding-indexing-finding");
        f.model->applyFillProgress(500'000, 1'845'603);
        expectGolden(f, "onboarding-indexing-learning");
    }
    {
        StepViewFixture f;
        f.model->deniedDirectories.set(3);
        f.model->step.set(Step::ready);
        f.model->applyIndexingComplete(1'845'603, {});
        expectGolden(f, "onboarding-ready");
    }
    {
        StepViewFixture f(true, false);
        f.model->step.set(Step::ready);
        f.model->applyIndexingComplete(1'845'603, {});
        expectGolden(f, "onboarding-ready-no-shortcut");
    }
}

} // namespace
} // namespace ulmaro
