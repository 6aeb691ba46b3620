// The content-folder step's chooser over the panel, under openbox on a private Xvfb.
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/Panel/OverlayPanelController.h"
#include "UlmaroAppKit/Panel/SettingsPanelPositionStore.h"
#include "UlmaroAppKit/UI/Kit/StyledButton.h"
#include "UlmaroAppKit/UI/Onboarding/ContentFoldersStep.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingStepView.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Qt/QtMainQueue.h"
#include "UlmaroAppKit/UI/X11/WindowManagerFixture.h"
#include "UlmaroAppKit/UI/X11/X11FrontmostAppTracker.h"

#include <QFileDialog>
#include <QTimer>

namespace ulmaro {
namespace {

using test::activeWindow;
using test::waitLimitMs;

class ChooserOverTheFirstRun : public test::OtherWindowActive {
protected:
    void SetUp() override {
        test::OtherWindowActive::SetUp();
        if (HasFatalFailure()) return;
        auto* view = new OnboardingStepView(flow, {}, {});
        panel->setContent(view);
        // As the application's coordinator answers: never while the flow is showing.
        controller.shouldDismissOnResignKey = [this] { return !flow.isShowing(); };
        flow.step.set(OnboardingStep::contentFolders);
        step = qobject_cast<ContentFoldersStep*>(view->page());
    }
    void TearDown() override {
        controller.dismiss(false);
        QApplication::processEvents();
    }

    std::shared_ptr<InMemorySettingsStore> store = std::make_shared<InMemorySettingsStore>();
    OnboardingViewModel flow{true, store, true, {}, {}};
    std::shared_ptr<OverlayPanel> panel = std::make_shared<OverlayPanel>();
    QtMainQueue mainQueue;
    InMemorySettingsStore positions;
    OverlayPanelController controller{panel, X11FrontmostAppTracker::make(),
                                      std::make_shared<SettingsPanelPositionStore>(positions),
                                      mainQueue};
    ContentFoldersStep* step = nullptr;
};

TEST_F(ChooserOverTheFirstRun, ThePanelStaysUpBehindTheChooserAndHasTheKeyboardAfter) {
    ASSERT_NE(step, nullptr);
    controller.show(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return activeWindow() == panel->winId(); }, waitLimitMs));

    // The chooser runs modally: what happens while it is up is seen from a timer.
    bool dialogHadKeyboard = false;
    bool modalToPanel = false;
    bool panelUpWhileOpen = false;
    int pollsWhileActive = 0;
    int polls = 0;
    bool finished = false;
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || finished) return;
        // A dismissed panel takes its dialog out of sight: end the modal run, or it waits on.
        if (!panel->isVisible() || ++polls > 100) {
            finished = true;
            dialog->reject();
            return;
        }
        if (!dialog->isVisible()) return;
        modalToPanel = dialog->windowModality() == Qt::WindowModal && dialog->parentWidget() &&
                       dialog->parentWidget()->window() == panel.get();
        if (activeWindow() == dialog->winId()) dialogHadKeyboard = true;
        // A few turns after the panel lost the keyboard, so its controller has answered.
        if (dialogHadKeyboard && ++pollsWhileActive == 5) {
            panelUpWhileOpen = panel->isVisible();
            finished = true;
            dialog->reject();
        }
    });
    poll.start();
    QTimer::singleShot(0, step, [&] { step->addButton().click(); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, waitLimitMs));
    QApplication::processEvents();
    poll.stop();

    EXPECT_TRUE(dialogHadKeyboard);
    EXPECT_TRUE(modalToPanel);
    EXPECT_TRUE(panelUpWhileOpen);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return activeWindow() == panel->winId(); }, waitLimitMs))
        << "the keyboard is back with the panel";
    EXPECT_TRUE(panel->isVisible());
}

} // namespace
} // namespace ulmaro
