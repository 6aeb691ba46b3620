// The catalog window offscreen over the real library and coordinator (a steered scan, a
// hand-drained main queue) and the real browser model.
#include "UlmaroAppKit/Catalogs/CatalogCoordinatorFixture.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspace.h"
#include "UlmaroAppKit/Fakes/ScriptedFileChooser.h"
#include "UlmaroAppKit/UI/BrowserTextsFixture.h"
#include "UlmaroAppKit/UI/CatalogMessageAlert.h"
#include "UlmaroAppKit/UI/CatalogQuestion.h"
#include "UlmaroAppKit/UI/CatalogSidebarView.h"
#include "UlmaroAppKit/UI/CatalogStatePage.h"
#include "UlmaroAppKit/UI/CatalogToolbar.h"
#include "UlmaroAppKit/UI/CatalogView.h"
#include "UlmaroAppKit/UI/CatalogWindowController.h"
#include "UlmaroAppKit/UI/StyledButton.h"
#include "support/AnsweredTransfers.h"
#include "support/GoldenImage.h"

#include <QAction>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

class CatalogWindowTest : public test::CatalogCoordinatorFixture {
protected:
    ~CatalogWindowTest() override {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    CatalogView& view() { return *controller.view(); }

    RecordingWorkspace workspace;
    InMemorySettingsStore windowSettings;
    ScriptedFileChooser chooser;
    test::AnsweredTransfers transfers;
    CatalogWindowController controller{{*coordinator, mainQueue, windowSettings, workspace, chooser,
                                        transfers, test::browserTexts()}};
};

TEST_F(CatalogWindowTest, OneWindowKeptAcrossShowsAndCloses) {
    EXPECT_EQ(controller.window(), nullptr);
    controller.show(std::nullopt, std::nullopt);
    QWidget* window = controller.window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Catalog");
    EXPECT_EQ(window->minimumSize(), QSize(760, 460));
    EXPECT_EQ(window->size(), QSize(900, 560));
    EXPECT_TRUE(window->isVisible());

    drive("A");
    keep(info("first", "A"));
    mainQueue.drain();
    EXPECT_TRUE(window->close());
    controller.show("first", std::nullopt);
    EXPECT_EQ(controller.window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(controller.model().selectedID.get(), "first");
    window->close();
    controller.show(std::nullopt, std::nullopt);
    EXPECT_EQ(controller.model().selectedID.get(), "first") << "reopens on the catalog last shown";
}

TEST_F(CatalogWindowTest, TheDetailForEachKindOfCatalog) {
    controller.show(std::nullopt, std::nullopt);
    EXPECT_EQ(view().detail(), CatalogView::Detail::empty);
    EXPECT_EQ(view().emptyPage().title().text(), "No catalogs yet");

    drive("A");
    keep(info("ok", "A"));
    keep(info("offline", "gone"));
    keep(info("list", "", "", CatalogInfo::Kind::efu));
    keep(info("missing", "A", "Gone"));
    std::filesystem::remove_all(CatalogInfo::join(mounted[0].mountPath, "Gone"));
    auto scratched = info("scratched", "A");
    scratched.name = "Scratched";
    keep(scratched);
    std::ofstream(layout.indexURL("scratched"), std::ios::trunc) << "garbage";
    std::filesystem::create_directories(layout.directory("broken"));
    std::ofstream(layout.infoURL("broken")) << "{";
    library.reloadAll();
    library.updateMounted(mounted);
    mainQueue.drain();
    EXPECT_EQ(view().detail(), CatalogView::Detail::empty);
    EXPECT_EQ(view().emptyPage().title().text(), "Choose a catalog");
    EXPECT_EQ(view().sidebar().list().model()->rowCount(), 6);

    for (const char* id : {"ok", "offline", "list", "missing"}) {
        controller.show(id, std::nullopt);
        EXPECT_EQ(view().detail(), CatalogView::Detail::browser) << id;
    }
    controller.show("broken", std::nullopt);
    EXPECT_EQ(view().detail(), CatalogView::Detail::damaged);
    EXPECT_EQ(view().damagedPage().hint()->text(), "Forget it, then catalog the drive again.");
    controller.show("scratched", std::nullopt);
    EXPECT_EQ(view().detail(), CatalogView::Detail::damaged);
    EXPECT_EQ(view().damagedPage().body().text().toStdString(),
              library.entry("scratched")->health.reason);
    EXPECT_EQ(view().damagedPage().hint()->text(),
              "Forget it, or rescan once the drive is connected.");

    // A click in the sidebar chooses the catalog.
    QListView& list = view().sidebar().list();
    const auto ok = list.model()->match(list.model()->index(0, 0), Qt::DisplayRole, "ok");
    ASSERT_EQ(ok.size(), 1);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(ok.front()).center());
    EXPECT_EQ(controller.model().selectedID.get(), "ok");
    EXPECT_EQ(view().detail(), CatalogView::Detail::browser);
}

TEST_F(CatalogWindowTest, MessagesShareOneBoxAndDismissingClearsTheMessage) {
    MountedVolume a = drive("A");
    std::filesystem::create_directories(a.mountPath + "/Photos");
    script.error = std::make_exception_ptr(std::system_error(EIO, std::generic_category()));
    startedID(coordinator->addFolder(a.mountPath + "/Photos"));
    runScan();
    const std::string waiting = *coordinator->notice();

    controller.show(std::nullopt, std::nullopt);
    QMessageBox* box = controller.alert()->box();
    ASSERT_NE(box, nullptr) << "the notice waiting when the window was built";
    EXPECT_EQ(box->text().toStdString(), waiting);
    EXPECT_EQ(coordinator->notice(), std::nullopt);

    controller.state().message.set("Connect Backup to open this.");
    EXPECT_EQ(controller.alert()->box(), box);
    EXPECT_EQ(box->text(), "Connect Backup to open this.");
    QTest::mouseClick(box->buttons().front(), Qt::LeftButton);
    EXPECT_EQ(controller.state().message.get(), std::nullopt);
}

TEST_F(CatalogWindowTest, TheToolbarFollowsTheSelectionAndTransfers) {
    controller.show(std::nullopt, std::nullopt);
    CatalogToolbar& bar = *controller.toolbar();
    struct Shown {
        bool rescan, exporting, importing, forget, busy;
        bool operator==(const Shown&) const = default;
    };
    auto shown = [&] {
        return Shown{bar.rescanAction().isEnabled(), bar.exportAction().isEnabled(),
                     bar.importAction().isEnabled(), bar.forgetAction().isEnabled(),
                     bar.isBusyShown()};
    };
    EXPECT_TRUE(bar.addFolderAction().isEnabled());
    EXPECT_EQ(shown(), (Shown{false, false, true, false, false})) << "nothing selected";

    drive("A");
    keep(info("first", "A"));
    mainQueue.drain();
    controller.show("first", std::nullopt);
    EXPECT_EQ(shown(), (Shown{true, true, true, true, false}));
    transfers.transferring.set(true);
    EXPECT_EQ(shown(), (Shown{true, false, false, true, true}));
    EXPECT_TRUE(test::matchesGolden(test::grabForGolden(bar),
                                    QStringLiteral("catalog-toolbar-transferring")));
    transfers.transferring.set(false);

    // Both "Add Folder…" buttons ask for folders.
    bar.addFolderAction().trigger();
    controller.show(std::nullopt, std::nullopt);
    EXPECT_EQ(chooser.folderRequests.size(), 1u);
}

TEST_F(CatalogWindowTest, TheEmptyStatesAddFolderAsksForFolders) {
    controller.show(std::nullopt, std::nullopt);
    QTest::mouseClick(view().emptyPage().addFolderButton(), Qt::LeftButton);
    EXPECT_THAT(chooser.folderRequests,
                ::testing::ElementsAre(ScriptedFileChooser::FolderRequest{"Catalog", true}));
}

TEST_F(CatalogWindowTest, ForgetIsAskedFirst) {
    drive("A");
    keep(info("first", "A"));
    keep(info("second", "A", "Second"));
    mainQueue.drain();
    controller.show("first", std::nullopt);

    controller.toolbar()->forgetAction().trigger();
    QMessageBox* box = controller.forgetQuestion()->box();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QString::fromUtf8("Forget \u201cfirst\u201d?"));
    EXPECT_EQ(box->informativeText(),
              "Its catalog moves to the Trash. Nothing on the drive is touched.");
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_FALSE(controller.state().confirmingForget.get());
    EXPECT_NE(library.entry("first"), nullptr) << "kept";

    controller.toolbar()->forgetAction().trigger();
    QTest::mouseClick(controller.forgetQuestion()->confirmButton(), Qt::LeftButton);
    EXPECT_EQ(library.entry("first"), nullptr);
    mainQueue.drain();
    EXPECT_EQ(controller.model().selectedID.get(), "second") << "the next one chosen";
}

TEST_F(CatalogWindowTest, TheImportQuestionFollowsThePendingImport) {
    drive("A");
    keep(info("first", "A"));
    mainQueue.drain();
    controller.show("first", std::nullopt);
    auto conflict = [](const std::string& copy) {
        CatalogCoordinator::PendingImport pending;
        pending.info.id = copy;
        pending.replacing = "first";
        return CatalogCoordinator::Conflict{"first", pending};
    };
    chooser.fileAnswers.push_back("/home/me/first.ulmarocatalog");
    controller.toolbar()->importAction().trigger();
    ASSERT_TRUE(transfers.importDone);
    transfers.importDone(conflict("copy-1"));
    CatalogQuestion& question = *controller.importQuestion();
    ASSERT_NE(question.box(), nullptr);
    EXPECT_EQ(question.box()->text(),
              QString::fromUtf8("A catalog of \u201cfirst\u201d already exists."));
    QTest::keyClick(question.box(), Qt::Key_Escape);
    EXPECT_EQ(question.box(), nullptr);
    EXPECT_EQ(controller.state().pendingImport.get(), std::nullopt);

    // A newer conflict settles the one still asked about; the question stays up.
    controller.actions().handle(conflict("copy-2"));
    controller.actions().handle(conflict("copy-3"));
    ASSERT_NE(question.box(), nullptr);
    transfers.replaced = CatalogCoordinator::Imported{"first"};
    QTest::mouseClick(question.confirmButton(), Qt::LeftButton);
    using Resolved = std::pair<std::string, bool>;
    EXPECT_THAT(transfers.resolved,
                ::testing::ElementsAre(Resolved{"copy-1", false}, Resolved{"copy-2", false},
                                       Resolved{"copy-3", true}));
    EXPECT_EQ(question.box(), nullptr);

    controller.actions().handle(conflict("copy-4"));
    const QList<QAbstractButton*> buttons = question.box()->buttons();
    const auto keep = std::find_if(buttons.begin(), buttons.end(),
                                   [](QAbstractButton* b) { return b->text() == "Keep Existing"; });
    ASSERT_NE(keep, buttons.end());
    QTest::mouseClick(*keep, Qt::LeftButton);
    EXPECT_EQ(transfers.resolved.back(), (Resolved{"copy-4", false}));
}

} // namespace
} // namespace ulmaro
