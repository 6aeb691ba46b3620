// The catalog window offscreen over the real library and coordinator (a steered scan, a
// hand-drained main queue) and the real browser model.
#include "UlmaroAppKit/Catalogs/CatalogCoordinatorFixture.h"
#include "UlmaroAppKit/Fakes/RecordingWorkspace.h"
#include "UlmaroAppKit/UI/BrowserTextsFixture.h"
#include "UlmaroAppKit/UI/CatalogMessageAlert.h"
#include "UlmaroAppKit/UI/CatalogSidebarView.h"
#include "UlmaroAppKit/UI/CatalogStatePage.h"
#include "UlmaroAppKit/UI/CatalogView.h"
#include "UlmaroAppKit/UI/CatalogWindowController.h"

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
    CatalogWindowController controller{
        {*coordinator, mainQueue, windowSettings, workspace, test::browserTexts()}};
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
    std::filesystem::create_directories(layout.directory("broken"));
    std::ofstream(layout.infoURL("broken")) << "{";
    library.reloadAll();
    library.updateMounted(mounted);
    mainQueue.drain();
    EXPECT_EQ(view().detail(), CatalogView::Detail::empty);
    EXPECT_EQ(view().emptyPage().title().text(), "Choose a catalog");
    EXPECT_EQ(view().sidebar().list().model()->rowCount(), 5);

    for (const char* id : {"ok", "offline", "list", "missing"}) {
        controller.show(id, std::nullopt);
        EXPECT_EQ(view().detail(), CatalogView::Detail::browser) << id;
    }
    controller.show("broken", std::nullopt);
    EXPECT_EQ(view().detail(), CatalogView::Detail::damaged);
    EXPECT_EQ(view().damagedPage().hint()->text(), "Forget it, then catalog the drive again.");

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

} // namespace
} // namespace ulmaro
