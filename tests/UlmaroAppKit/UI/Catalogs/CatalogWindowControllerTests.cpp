// The catalog window offscreen over the real library and coordinator (a steered scan, a
// hand-drained main queue) and the real browser model.
#include "UlmaroAppKit/Catalogs/CatalogCoordinatorFixture.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspace.h"
#include "UlmaroAppKit/Fakes/ScriptedFileChooser.h"
#include "UlmaroAppKit/UI/Catalogs/BrowserTextsFixture.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogMessageAlert.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogQuestion.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogSidebarView.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogStatePage.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogToolbar.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogView.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogWindowController.h"
#include "UlmaroAppKit/UI/Kit/StyledButton.h"
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
    // Exports stage in the data folder; keep it in the test's own.
    test::ScopedEnv dataHome{"XDG_DATA_HOME", (dir / "data").string()};
    ScriptedFileChooser chooser;
    CoordinatorTransfers transfers{*coordinator};
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
    chooser.saveAnswers.push_back((dir / "first.ulmarocatalog").string());
    bar.exportAction().trigger();
    EXPECT_EQ(shown(), (Shown{true, false, false, true, true})) << "while the archive is written";
    EXPECT_TRUE(test::matchesGolden(test::grabForGolden(bar),
                                    QStringLiteral("catalog-toolbar-transferring")));
    settle();
    EXPECT_EQ(shown(), (Shown{true, true, true, true, false}));

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
    EXPECT_TRUE(
        test::matchesGolden(test::grabForGolden(*box), QStringLiteral("catalog-forget-question")));
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
    auto disk = info("first", "A");
    disk.name = "Disk";
    keep(disk);
    auto photos = info("photos", "A", "Photos");
    photos.name = "Photos";
    keep(photos);
    mainQueue.drain();
    auto exportArchive = [&](const std::string& id) {
        const std::filesystem::path archive = dir / (id + ".ulmarocatalog");
        controller.show(id, std::nullopt);
        chooser.saveAnswers.push_back(archive.string());
        controller.toolbar()->exportAction().trigger();
        settle();
        EXPECT_TRUE(std::filesystem::is_regular_file(archive));
        return archive;
    };
    const std::filesystem::path photosArchive = exportArchive("photos");
    const std::filesystem::path archive = exportArchive("first");
    auto importArchive = [&](const std::filesystem::path& file) {
        chooser.fileAnswers.push_back(file.string());
        controller.toolbar()->importAction().trigger();
        settle();
    };
    auto copy = [&] { return controller.state().pendingImport.get().value().directory; };
    auto button = [](QMessageBox& box, const QString& text) {
        for (QAbstractButton* b : box.buttons())
            if (b->text() == text) return b;
        return static_cast<QAbstractButton*>(nullptr);
    };
    CatalogQuestion& question = *controller.importQuestion();

    importArchive(photosArchive);
    QMessageBox* box = question.box();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QString::fromUtf8("A catalog of \u201cPhotos\u201d already exists."));
    EXPECT_EQ(box->informativeText(), "Replacing moves the existing catalog to the Trash.");
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    ASSERT_NE(button(*box, "Keep Existing"), nullptr);
    EXPECT_TRUE(
        test::matchesGolden(test::grabForGolden(*box), QStringLiteral("catalog-import-question")));

    // A newer conflict retitles the open question; the copy it asked about is deleted.
    const std::filesystem::path first = copy();
    importArchive(archive);
    EXPECT_EQ(question.box(), box) << "the same question, not asked again";
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->text(), QString::fromUtf8("A catalog of \u201cDisk\u201d already exists."));
    EXPECT_FALSE(std::filesystem::exists(first));

    // Escape keeps the existing catalog: the copy goes, nothing is shown.
    const std::filesystem::path second = copy();
    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_EQ(question.box(), nullptr);
    EXPECT_EQ(controller.state().pendingImport.get(), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(second));
    EXPECT_EQ(controller.alert()->box(), nullptr);

    // So does closing the question.
    importArchive(archive);
    const std::filesystem::path third = copy();
    question.box()->close();
    EXPECT_EQ(controller.state().pendingImport.get(), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(third));

    importArchive(archive);
    const std::filesystem::path fourth = copy();
    QTest::mouseClick(button(*question.box(), "Keep Existing"), Qt::LeftButton);
    EXPECT_FALSE(std::filesystem::exists(fourth));
    EXPECT_EQ(controller.alert()->box(), nullptr);
    EXPECT_NE(library.entry("first"), nullptr);

    // "Replace", by key and by click, installs the copy and selects it.
    importArchive(archive);
    question.box()->setFocus();
    QTest::keyClick(question.confirmButton(), Qt::Key_Space);
    mainQueue.drain();
    EXPECT_EQ(question.box(), nullptr);
    EXPECT_EQ(library.entry("first"), nullptr) << "moved to the Trash";
    ASSERT_EQ(library.entries().size(), 2u);
    const auto installed = controller.model().selectedID.get();
    ASSERT_TRUE(installed);
    EXPECT_NE(*installed, "photos");
    EXPECT_EQ(library.entry(*installed)->info.name, "Disk");

    trashWorks = false;
    importArchive(archive);
    QTest::mouseClick(question.confirmButton(), Qt::LeftButton);
    mainQueue.drain();
    EXPECT_EQ(library.entries().size(), 3u);
    ASSERT_NE(controller.alert()->box(), nullptr);
    EXPECT_EQ(controller.alert()->box()->text(),
              QString::fromUtf8("Imported, but couldn\u2019t move the old catalog to the Trash."));
}

} // namespace
} // namespace ulmaro
