// The catalog window's state over the real library (fixture catalog folders), the real
// browser model and the real coordinator (a scan the test steers, a hand-drained main queue).
#include "UlmaroAppKit/Catalogs/CatalogBrowserModel.h"
#include "UlmaroAppKit/Catalogs/CatalogCoordinatorFixture.h"
#include "UlmaroAppKit/Catalogs/CatalogWindowState.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>

namespace ulmaro {
namespace {

using ::testing::ElementsAre;
using Colour = CatalogWindowRules::Colour;
using Detail = CatalogWindowState::Detail;
using DetailKind = Detail::Kind;
using Row = CatalogWindowRules::SidebarRow;

class CatalogWindowStateTest : public test::CatalogCoordinatorFixture {
protected:
    const CatalogEntry& entryOf(const std::string& id) { return *library.entry(id); }
    std::string statusOf(const std::string& id) { return state.status(entryOf(id)); }
    Colour colourOf(const std::string& id) { return state.colour(entryOf(id)); }

    /// A catalog kept on disk whose index holds `paths` below its root record (a folder's
    /// path ends in "/", and comes before what it holds).
    void keepTree(CatalogInfo kept, std::initializer_list<std::string> paths) {
        IndexBuilder builder;
        std::map<std::string, std::uint32_t> folders{
            {"", builder.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0)}};
        for (std::string path : paths) {
            const bool isFolder = path.ends_with('/');
            if (isFolder) path.pop_back();
            const std::size_t slash = path.rfind('/');
            const std::string parent = slash == std::string::npos ? "" : path.substr(0, slash);
            const std::uint32_t id = builder.addEntry(
                slash == std::string::npos ? path : path.substr(slash + 1), folders.at(parent),
                isFolder ? RecordFlags::isDirectory : RecordFlags{}, 0);
            if (isFolder) folders[path] = id;
        }
        IndexWriter::write(builder, std::vector<VolumeEntry>{{kept.volumeUUID, "/", 0, true}},
                           layout.indexURL(kept.id));
        kept.rootRecordID = 0;
        kept.write(layout.infoURL(kept.id));
        library.reloadAll();
        library.updateMounted(mounted);
    }
    /// A catalog whose information file cannot be read: named by its ID.
    void keepUnreadable(const std::string& id) {
        std::filesystem::create_directories(layout.directory(id));
        std::ofstream(layout.infoURL(id)) << "not json";
        library.reloadAll();
    }
    std::vector<std::string> listedNames() const {
        std::vector<std::string> names;
        for (const auto& item : model.items.get())
            names.push_back(item.name);
        return names;
    }

    CatalogBrowserModel model{library};
    CatalogWindowState state{model, *coordinator, mainQueue, &CatalogBrowserModel::status};
};

TEST_F(CatalogWindowStateTest, StatusAndColourOfEachKindOfCatalog) {
    MountedVolume a = drive("A");
    keep(info("online", "A"));
    keep(info("offline", "gone"));
    keep(info("list", "", "", CatalogInfo::Kind::efu));
    keep(info("missing", "A", "Gone"));
    std::filesystem::remove_all(CatalogInfo::join(a.mountPath, "Gone"));
    auto scratched = info("scratched", "A");
    scratched.name = "Scratched";
    keep(scratched);
    std::ofstream(layout.indexURL("scratched"), std::ios::trunc) << "garbage";
    keepUnreadable("broken");
    library.updateMounted(mounted);

    const struct {
        const char* id;
        const char* status;
        Colour colour;
    } cases[] = {
        {"online", "Connected", Colour::green},        {"offline", "Offline", Colour::faded},
        {"list", "Imported file list", Colour::faded}, {"missing", "Folder missing", Colour::faded},
        {"scratched", "Damaged", Colour::orange},      {"broken", "Damaged", Colour::orange},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(statusOf(c.id), c.status) << c.id;
        EXPECT_EQ(colourOf(c.id), c.colour) << c.id;
    }
}

// A scan just started shows 0 and keeps the colour; its progress shows in plain digits; a
// failure turns the dot orange while online, and scanning again wins over the failure.
TEST_F(CatalogWindowStateTest, StatusAndColourFollowTheScans) {
    drive("A");
    keep(info("online", "A"));
    script.progress = {12345};
    script.error = std::make_exception_ptr(std::system_error(EIO, std::generic_category()));
    coordinator->rescan("online");
    EXPECT_EQ(statusOf("online"), "Cataloguing\u2026 0 files");
    EXPECT_EQ(colourOf("online"), Colour::green);
    scanQueue().drain();
    ASSERT_TRUE(mainQueue.runOne()); // the progress, before the end
    EXPECT_EQ(statusOf("online"), "Cataloguing\u2026 12345 files");
    mainQueue.drain();
    EXPECT_EQ(statusOf("online"), "Last scan failed");
    EXPECT_EQ(colourOf("online"), Colour::orange);
    ASSERT_TRUE(entryOf("online").isOnline());

    script.error = nullptr;
    coordinator->rescan("online");
    EXPECT_EQ(statusOf("online"), "Cataloguing\u2026 0 files");
    EXPECT_EQ(colourOf("online"), Colour::orange);
    runAll();
    EXPECT_EQ(statusOf("online"), "Connected");
    EXPECT_EQ(colourOf("online"), Colour::green);
}

TEST_F(CatalogWindowStateTest, NewCatalogsAreListedAfterTheLibraryAndCannotBeChosen) {
    MountedVolume a = drive("A");
    drive("B");
    keep(info("kept", "B"));
    for (const char* folder : {"Photos", "Music"})
        std::filesystem::create_directories(a.mountPath + "/" + folder);
    const std::string photos = startedID(coordinator->addFolder(a.mountPath + "/Photos"));
    const std::string music = startedID(coordinator->addFolder(a.mountPath + "/Music"));
    EXPECT_THAT(state.sidebarRows(),
                ElementsAre(Row{"kept", "kept", "Connected", Colour::green, true},
                            Row{photos, "Photos", "Cataloguing\u2026", Colour::orange, false},
                            Row{music, "Music", "Cataloguing\u2026", Colour::orange, false}));

    runScan(); // Photos is made; Music scans next
    mainQueue.drain();
    const auto rows = state.sidebarRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows.back(), (Row{music, "Music", "Cataloguing\u2026", Colour::orange, false}));
    EXPECT_TRUE(library.entry(photos));
}

TEST_F(CatalogWindowStateTest, PrepareSelectsWhatShowAsksForOrKeepsTheSelection) {
    EXPECT_EQ(state.detail(), (Detail{DetailKind::empty, "No catalogs yet", {}}));
    state.prepare(std::nullopt, std::nullopt);
    EXPECT_EQ(model.selectedID.get(), std::nullopt);
    state.prepare("unknown", std::nullopt);
    EXPECT_EQ(model.selectedID.get(), std::nullopt);

    MountedVolume a = drive("A");
    keepTree(info("first", "A"), {"Photos/", "Photos/2024/", "Photos/2024/beach.jpg", "notes.txt"});
    keep(info("second", "A"));
    EXPECT_EQ(state.detail(), (Detail{DetailKind::empty, "Choose a catalog", {}}));
    state.prepare(std::nullopt, std::nullopt);
    EXPECT_EQ(model.selectedID.get(), "first") << "the first catalog";
    EXPECT_THAT(listedNames(), ElementsAre("Photos", "notes.txt"));
    EXPECT_EQ(state.detail().kind, DetailKind::browser);

    state.prepare("second", std::nullopt);
    EXPECT_EQ(model.selectedID.get(), "second");
    state.prepare("unknown", a.mountPath + "/Photos");
    EXPECT_EQ(model.selectedID.get(), "second") << "an unknown catalog keeps the selection";
    state.prepare(std::nullopt, std::nullopt);
    EXPECT_EQ(model.selectedID.get(), "second");

    state.prepare("first", a.mountPath + "/Photos/2024/beach.jpg");
    EXPECT_EQ(model.selectedID.get(), "first");
    EXPECT_THAT(model.breadcrumb(), ElementsAre("first", "Photos", "2024"));
    EXPECT_THAT(listedNames(), ElementsAre("beach.jpg"));
    ASSERT_TRUE(model.highlighted.get());
    EXPECT_EQ(model.highlighted.get(), model.items.get().front().id);

    state.prepare("first", std::nullopt);
    EXPECT_TRUE(model.trail.get().empty()) << "a show without a path starts at the root";
    EXPECT_EQ(model.highlighted.get(), std::nullopt);
}

TEST_F(CatalogWindowStateTest, ADamagedCatalogShowsItsReasonAndTheHintForItsName) {
    drive("A");
    auto scratched = info("scratched", "A");
    scratched.name = "Scratched";
    keep(scratched);
    std::ofstream(layout.indexURL("scratched"), std::ios::trunc) << "garbage";
    keepUnreadable("broken");

    state.prepare("broken", std::nullopt);
    EXPECT_EQ(state.detail(),
              (Detail{DetailKind::damaged, "Its information file can\u2019t be read.",
                      "Forget it, then catalog the drive again."}));
    state.prepare("scratched", std::nullopt);
    const Detail detail = state.detail();
    EXPECT_EQ(detail.kind, DetailKind::damaged);
    EXPECT_EQ(detail.text, entryOf("scratched").health.reason);
    EXPECT_FALSE(detail.text.empty());
    EXPECT_EQ(detail.hint, "Forget it, or rescan once the drive is connected.");
}

// The library's changes reach the model one main-queue turn later; after a forget the
// first catalog is chosen once the forgotten one has left, and only when asked.
TEST_F(CatalogWindowStateTest, LibraryChangesAndTheReselectionAfterAForget) {
    drive("A");
    keep(info("first", "A"));
    keep(info("second", "A"));
    keep(info("third", "A"));
    keep(info("zulu", "A"));
    state.attach();
    state.prepare("second", std::nullopt);
    std::vector<std::optional<std::string>> selections;
    auto watch = model.selectedID.subscribe([&](const auto& id) { selections.push_back(id); });

    state.reselectAfterForget.set(true);
    ASSERT_TRUE(coordinator->forget("second"));
    EXPECT_TRUE(selections.empty()) << "never inside the change";
    mainQueue.drain();
    EXPECT_THAT(selections, ElementsAre(std::nullopt, "first"));
    EXPECT_FALSE(state.reselectAfterForget.get());
    EXPECT_EQ(state.detail().kind, DetailKind::browser);

    // Without the request, a catalog that leaves is only deselected.
    selections.clear();
    ASSERT_TRUE(coordinator->forget("first"));
    mainQueue.drain();
    EXPECT_THAT(selections, ElementsAre(std::nullopt));
    EXPECT_EQ(state.detail(), (Detail{DetailKind::empty, "Choose a catalog", {}}));

    // A change that leaves the selection in place keeps it, and settles the request.
    state.prepare("zulu", std::nullopt);
    state.reselectAfterForget.set(true);
    library.reloadAll();
    mainQueue.drain();
    EXPECT_EQ(model.selectedID.get(), "zulu");
    EXPECT_FALSE(state.reselectAfterForget.get());

    // The last one forgotten leaves nothing to choose.
    ASSERT_TRUE(coordinator->forget("third"));
    mainQueue.drain();
    state.reselectAfterForget.set(true);
    ASSERT_TRUE(coordinator->forget("zulu"));
    mainQueue.drain();
    EXPECT_EQ(model.selectedID.get(), std::nullopt);
    EXPECT_FALSE(state.reselectAfterForget.get());
    EXPECT_EQ(state.detail(), (Detail{DetailKind::empty, "No catalogs yet", {}}));
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
    EXPECT_TRUE(shown[1]->starts_with("Music: ")) << *shown[1];
    EXPECT_EQ(coordinator->notice(), std::nullopt);
    state.attach();
    EXPECT_EQ(shown.size(), 2u) << "attached once";
}

} // namespace
} // namespace ulmaro
