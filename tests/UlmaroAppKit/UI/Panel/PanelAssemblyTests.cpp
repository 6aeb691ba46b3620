// The panel as the application puts it together: the real coordinator (over the shell's
// fakes), the real panel window, its keys and its face built by the functions the program's
// own entry calls. Nothing here sets a hook of the panel, the controller or the views.
#include "UlmaroAppKit/Panel/IconResolver.h"
#include "UlmaroAppKit/Panel/OverlayViewModelFixture.h"
#include "UlmaroAppKit/Shell/AppCoordinatorFixture.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingStepView.h"
#include "UlmaroAppKit/UI/Onboarding/SuggestionRow.h"
#include "UlmaroAppKit/UI/Panel/OverlayHeader.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Panel/OverlayView.h"
#include "UlmaroAppKit/UI/Panel/PanelContent.h"
#include "UlmaroAppKit/UI/Panel/PanelKeyCallbacks.h"
#include "UlmaroAppKit/UI/Panel/PreviewWindow.h"
#include "UlmaroAppKit/UI/Panel/ResultArea.h"
#include "UlmaroAppKit/UI/Panel/ResultListView.h"
#include "UlmaroAppKit/UI/Panel/SearchField.h"
#include "UlmaroAppKit/UI/Qt/QtIconSource.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

constexpr int waitMs = 5000;

/// The coordinator over fakes, with the real panel in place of the fake window.
struct AssembledPanel {
    test::AppFixture fixture;
    std::shared_ptr<OverlayPanel> panel = std::make_shared<OverlayPanel>();
    std::shared_ptr<AppCoordinator> app;
    OverlayView* view = nullptr;
    std::shared_ptr<test::FakeSearchEngine> engine = std::make_shared<test::FakeSearchEngine>();

    explicit AssembledPanel(bool onboardingDone = true) {
        if (onboardingDone) fixture.completeOnboarding();
        auto env = fixture.environment();
        env.panel = panel;
        app = AppCoordinator::create(env, fixture.options);
        app->setupOnboarding(true, std::nullopt);
        // As the program's launch does, in its order.
        PanelKeyCallbacks::install(*panel, app);
        view = PanelContent::build(*panel, app, fixture.preferences);
    }
    ~AssembledPanel() {
        panel->orderOut();
        QApplication::processEvents();
    }

    OverlayViewModel& model() { return app->overlayViewModel(); }
    SearchField& field() { return *view->header()->field(); }
    void settle() {
        for (int i = 0; i < 3; ++i) {
            fixture.main->drain();
            QApplication::processEvents();
        }
    }
    /// `other` shown and given the keyboard, as another program's window would take it.
    bool activateAnother(QWidget& other) {
        other.resize(200, 100);
        other.show();
        other.activateWindow();
        const bool active = QTest::qWaitForWindowActive(&other, waitMs);
        settle();
        return active;
    }
    /// Summoned, with the engine answering `text` with `rows`.
    void summonWithRows(const std::string& text, std::vector<RankedRow> rows) {
        model().setEngine(engine);
        app->summon();
        ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get(), waitMs));
        settle();
        QTest::keyClicks(&field(), QString::fromStdString(text));
        engine->answerLast(test::resultsOf(std::move(rows)));
        settle();
    }
};

class PanelAssembly : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string file(const std::string& name) {
        const auto path = dir / name;
        std::ofstream(path) << "Agenda: the budget, the garden, the roof.\n";
        return path.string();
    }
};

// Space on a row, Ctrl+Y and the row menu's "Preview" show the preview beside a panel that
// stays; Escape in the preview gives the keyboard back to the panel.
TEST_F(PanelAssembly, ThePreviewTakesTheKeyboardAndThePanelStays) {
    AssembledPanel t;
    const std::string old = file("notes-old.txt");
    t.summonWithRows("notes", {test::row(1, file("notes.txt")), test::row(2, old)});
    PreviewWindow& preview = t.panel->preview();

    QTest::keyClick(&t.field(), Qt::Key_Down);
    ASSERT_TRUE(t.model().isBrowsingResults.get());
    QTest::keyClick(&t.field(), Qt::Key_Space);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&preview, waitMs));
    t.settle();
    EXPECT_TRUE(t.panel->isVisible()) << "the preview taking the keyboard keeps the panel";
    EXPECT_TRUE(preview.isVisible());

    QTest::keyClick(&preview, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitForWindowActive(t.panel.get(), waitMs));
    t.settle();
    EXPECT_FALSE(preview.isVisible());
    EXPECT_TRUE(t.panel->isVisible());

    QTest::keyClick(&t.field(), Qt::Key_Y, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&preview, waitMs));
    t.settle();
    EXPECT_TRUE(t.panel->isVisible()) << "Ctrl+Y";
    QTest::keyClick(&preview, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitForWindowActive(t.panel.get(), waitMs));
    t.settle();

    ResultListView& list = *t.view->resultArea()->list();
    std::unique_ptr<QMenu> menu(list.menuFor(1));
    QAction* previewItem = nullptr;
    for (QAction* action : menu->actions())
        if (action->text() == QStringLiteral("Preview")) previewItem = action;
    ASSERT_NE(previewItem, nullptr);
    previewItem->trigger();
    QApplication::processEvents();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&preview, waitMs));
    t.settle();
    EXPECT_TRUE(t.panel->isVisible()) << "the menu's Preview";
    EXPECT_EQ(t.model().selectedPath(), std::optional<std::string>(old)) << "the menu's row";

    // Focus leaving both for another window still closes the preview and dismisses.
    QWidget other;
    ASSERT_TRUE(t.activateAnother(other));
    EXPECT_FALSE(preview.isVisible());
    EXPECT_FALSE(t.panel->isVisible());
}

// A panel shown again keeps its last text selected, so what is typed replaces it.
TEST_F(PanelAssembly, TypingAfterASummonReplacesTheKeptText) {
    AssembledPanel t;
    t.summonWithRows("meet", {test::row(1, file("meeting.txt"))});
    // Another window takes the keyboard: the panel goes with its text kept.
    QWidget other;
    ASSERT_TRUE(t.activateAnother(other));
    ASSERT_FALSE(t.panel->isVisible());
    ASSERT_FALSE(t.field().text().isEmpty());

    t.app->summon();
    ASSERT_TRUE(QTest::qWaitForWindowActive(t.panel.get(), waitMs));
    t.settle();
    EXPECT_EQ(t.field().selectedText(), t.field().text());
    QTest::keyClicks(&t.field(), QStringLiteral("meeting"));
    EXPECT_EQ(t.field().text(), QStringLiteral("meeting"));
    EXPECT_EQ(t.model().queryText.get(), "meeting");
}

QImage iconImage(const QIcon& icon) {
    return icon.pixmap(QSize(22, 22), 1.0).toImage();
}

// The first run's suggested files show their icons, and a completed folder's "— Open"
// shows a folder's.
TEST_F(PanelAssembly, SuggestionsAndTheCompletedFolderHaveTheirIcons) {
    AssembledPanel t(false);
    auto& flow = t.app->onboardingViewModel();
    ASSERT_TRUE(flow.isShowing());
    const std::string report = file("report.pdf");
    flow.applyIndexingComplete(1234, {test::row(1, report), test::row(2, file("plan.txt"))});
    flow.step.set(OnboardingStep::tryThese);
    t.settle();
    const auto rows = t.view->findChildren<SuggestionRow*>();
    ASSERT_EQ(rows.size(), 2);
    for (const SuggestionRow* row : rows) {
        bool hasIcon = false;
        for (const QLabel* label : row->findChildren<QLabel*>())
            hasIcon = hasIcon || !label->pixmap().isNull();
        EXPECT_TRUE(hasIcon);
    }

    AssembledPanel s;
    const auto folderPath = dir / "Projects";
    std::filesystem::create_directory(folderPath);
    RankedRow folder = test::row(7, folderPath.string());
    folder.isDirectory = true;
    s.summonWithRows("Pro", {folder});
    ASSERT_TRUE(s.model().inlineCompletion.get().has_value());
    const QLabel* hint = s.view->header()->hintIcon();
    ASSERT_TRUE(hint->isVisibleTo(s.view));
    QtIconSource source;
    RankedRow asFile = folder;
    asFile.isDirectory = false;
    const QImage shown = hint->pixmap().toImage();
    EXPECT_EQ(shown, iconImage(QtIconSource::qIcon(source.iconForFolder(folder.path))));
    EXPECT_NE(shown, iconImage(QtIconSource::qIcon(
                         IconResolver(std::make_shared<QtIconSource>()).icon(asFile))));
}

} // namespace
} // namespace ulmaro
