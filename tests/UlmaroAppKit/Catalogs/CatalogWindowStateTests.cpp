// The catalog window's state over the real library and coordinator (a scan the test
// steers, a hand-drained main queue) and a stand-in of the browser model.
#include "UlmaroAppKit/Catalogs/CatalogCoordinatorFixture.h"
#include "UlmaroAppKit/Catalogs/CatalogWindowState.h"
#include "support/FakeCatalogBrowser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using ::testing::ElementsAre;
using Colour = CatalogWindowRules::Colour;
using Kind = CatalogWindowState::Detail::Kind;

class CatalogWindowStateTest : public test::CatalogCoordinatorFixture {
protected:
    CatalogWindowStateTest() { model.library = &library; }

    const CatalogEntry& entryOf(const std::string& id) { return *library.entry(id); }
    std::string statusOf(const std::string& id) { return state.status(entryOf(id)); }
    Colour colourOf(const std::string& id) { return state.colour(entryOf(id)); }

    test::FakeCatalogBrowser model;
    CatalogWindowState state{model, *coordinator, mainQueue, test::FakeCatalogBrowser::status};
};

TEST_F(CatalogWindowStateTest, StatusAndColourFollowThePipeline) {
    drive("A");
    keep(info("online", "A"));
    keep(info("offline", "gone"));
    keep(info("list", "", "", CatalogInfo::Kind::efu));
    EXPECT_EQ(statusOf("online"), "Connected");
    EXPECT_EQ(colourOf("online"), Colour::green);
    EXPECT_EQ(statusOf("offline"), "Offline");
    EXPECT_EQ(colourOf("offline"), Colour::faded);
    EXPECT_EQ(statusOf("list"), "Imported file list");
    EXPECT_EQ(colourOf("list"), Colour::faded);

    // A scan just started shows 0 and keeps the colour; a failure turns it orange, and
    // scanning again wins over the failure.
    script.error = std::make_exception_ptr(std::system_error(EIO, std::generic_category()));
    coordinator->rescan("online");
    EXPECT_EQ(statusOf("online"), "Cataloguing\u2026 0 files");
    EXPECT_EQ(colourOf("online"), Colour::green);
    runScan();
    EXPECT_EQ(statusOf("online"), "Last scan failed");
    EXPECT_EQ(colourOf("online"), Colour::orange);
    script.error = nullptr;
    script.progress = {1500};
    coordinator->rescan("online");
    EXPECT_EQ(statusOf("online"), "Cataloguing\u2026 0 files");
    EXPECT_EQ(colourOf("online"), Colour::orange);
}

TEST_F(CatalogWindowStateTest, NewCatalogsAreListedAfterTheLibraryAndCannotBeChosen) {
    MountedVolume a = drive("A");
    drive("B");
    keep(info("kept", "B"));
    std::filesystem::create_directories(a.mountPath + "/Photos");
    startedID(coordinator->addFolder(a.mountPath + "/Photos"));
    const auto rows = state.sidebarRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].id, "kept");
    EXPECT_TRUE(rows[0].selectable);
    EXPECT_EQ(rows[1].name, "Photos");
    EXPECT_EQ(rows[1].status, "Cataloguing\u2026");
    EXPECT_EQ(rows[1].colour, Colour::orange);
    EXPECT_FALSE(rows[1].selectable);
}

TEST_F(CatalogWindowStateTest, PrepareSelectsWhatShowAsksForOrKeepsTheSelection) {
    EXPECT_EQ(state.detail(), (CatalogWindowState::Detail{Kind::empty, "No catalogs yet", {}}));
    state.prepare(std::nullopt, std::nullopt);
    EXPECT_EQ(model.selectedID.get(), std::nullopt);

    drive("A");
    keep(info("first", "A"));
    keep(info("second", "B"));
    EXPECT_EQ(state.detail().text, "Choose a catalog");
    state.prepare(std::nullopt, std::nullopt);
    EXPECT_EQ(model.selectedID.get(), "first") << "the first catalog";
    state.prepare("second", std::nullopt);
    EXPECT_EQ(model.selectedID.get(), "second");
    state.prepare("unknown", "/x");
    EXPECT_EQ(model.selectedID.get(), "second") << "an unknown catalog keeps the selection";
    state.prepare(std::nullopt, std::nullopt);
    EXPECT_EQ(model.selectedID.get(), "second");
    model.calls.clear();
    state.prepare("first", "/media/A/photo.jpg");
    EXPECT_THAT(model.calls, ElementsAre("select first", "reveal /media/A/photo.jpg"));
    EXPECT_EQ(state.detail().kind, Kind::browser);
}

TEST_F(CatalogWindowStateTest, ADamagedCatalogShowsItsReasonAndTheHintForItsName) {
    keep(info("good", "A"));
    std::filesystem::create_directories(layout.directory("broken"));
    std::ofstream(layout.infoURL("broken")) << "not json";
    library.reloadAll();
    state.prepare("broken", std::nullopt);
    const auto detail = state.detail();
    EXPECT_EQ(detail.kind, Kind::damaged);
    EXPECT_FALSE(detail.text.empty());
    EXPECT_EQ(detail.hint, "Forget it, then catalog the drive again.") << "named by its ID";
}

// The library's changes reach the model one main-queue turn later; after a forget the
// first catalog is chosen once the forgotten one has left.
TEST_F(CatalogWindowStateTest, LibraryChangesAndTheReselectionAfterAForget) {
    drive("A");
    keep(info("first", "A"));
    keep(info("second", "A"));
    state.attach();
    state.prepare("second", std::nullopt);
    model.calls.clear();

    state.reselectAfterForget.set(true);
    ASSERT_TRUE(coordinator->forget("second"));
    EXPECT_TRUE(model.calls.empty()) << "never inside the change";
    mainQueue.drain();
    EXPECT_THAT(model.calls, ElementsAre("libraryChanged", "select none", "select first"));
    EXPECT_FALSE(state.reselectAfterForget.get());
    EXPECT_EQ(model.selectedID.get(), "first");

    model.calls.clear();
    library.reloadAll();
    mainQueue.drain();
    EXPECT_THAT(model.calls, ElementsAre("libraryChanged")) << "no reselection unasked";
}

TEST_F(CatalogWindowStateTest, NoticesBecomeTheMessageOnceAndAreCleared) {
    MountedVolume a = drive("A");
    std::filesystem::create_directories(a.mountPath + "/Photos");
    script.error = std::make_exception_ptr(std::system_error(EIO, std::generic_category()));
    startedID(coordinator->addFolder(a.mountPath + "/Photos"));
    runScan();
    ASSERT_TRUE(coordinator->notice());
    const std::string waiting = *coordinator->notice();

    std::vector<std::optional<std::string>> shown;
    auto watch = state.message.subscribe([&](const auto& m) { shown.push_back(m); });
    state.attach(); // a notice waiting when the window is built
    EXPECT_THAT(shown, ElementsAre(waiting));
    EXPECT_EQ(coordinator->notice(), std::nullopt);

    std::filesystem::create_directories(a.mountPath + "/Music");
    startedID(coordinator->addFolder(a.mountPath + "/Music"));
    runScan();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(shown[1]->starts_with("Music: "));
    EXPECT_EQ(coordinator->notice(), std::nullopt);
    state.attach();
    EXPECT_EQ(shown.size(), 2u) << "attached once";
}

} // namespace
} // namespace ulmaro
