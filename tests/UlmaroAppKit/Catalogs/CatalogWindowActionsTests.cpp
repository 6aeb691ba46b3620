// The catalog window's actions over the real library, coordinator and browser model (a
// scan the test steers, hand-drained queues), a scripted file chooser, and the
// coordinator's own export and import of real archives.
#include "UlmaroAppKit/Catalogs/CatalogBrowserModel.h"
#include "UlmaroAppKit/Catalogs/CatalogCoordinatorFixture.h"
#include "UlmaroAppKit/Catalogs/CatalogWindowActions.h"
#include "UlmaroAppKit/Fakes/ScriptedFileChooser.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Optional;
using ::testing::StartsWith;

class CatalogWindowActionsTest : public test::CatalogCoordinatorFixture {
protected:
    CatalogWindowActionsTest() { state.attach(); }

    /// A catalog whose information file cannot be read: named by its ID.
    void keepDamaged(const std::string& id) {
        fs::create_directories(layout.directory(id));
        std::ofstream(layout.infoURL(id)) << "{";
        library.reloadAll();
    }
    void exportTo(const fs::path& path) {
        chooser.saveAnswers.push_back(path.string());
        actions.exportSelected();
        settle();
    }
    void importFrom(const fs::path& path) {
        chooser.fileAnswers.push_back(path.string());
        actions.importFile();
        settle();
    }
    std::vector<std::string> ids() const {
        std::vector<std::string> found;
        for (const auto& entry : library.entries())
            found.push_back(entry.id());
        return found;
    }
    bool temporaryIsEmpty() const {
        const fs::path temporary = dir / "Temporary";
        return !fs::exists(temporary) || fs::is_empty(temporary);
    }

    // Exports stage in the data folder; keep it in the test's own.
    test::ScopedEnv dataHome{"XDG_DATA_HOME", (dir / "data").string()};
    CatalogBrowserModel model{library};
    CatalogWindowState state{model, *coordinator, mainQueue, &CatalogBrowserModel::status};
    CoordinatorTransfers transfers{*coordinator};
    ScriptedFileChooser chooser;
    CatalogWindowActions actions{state, transfers, chooser};
};

TEST_F(CatalogWindowActionsTest, AddingFoldersQueuesTheNewOnesAndListsTheProblemsInOrder) {
    MountedVolume a = drive("A");
    MountedVolume b = drive("B");
    auto photos = info("photos", "A");
    photos.name = "Photos";
    keep(photos);
    std::filesystem::create_directories(a.mountPath + "/Inside");
    std::filesystem::create_directories(b.mountPath + "/New");
    std::filesystem::create_directories(dir / "nowhere");

    chooser.folderAnswers.push_back(std::vector<std::string>{
        b.mountPath + "/New", a.mountPath + "/Inside", (dir / "nowhere").string()});
    actions.addFolder();
    EXPECT_THAT(chooser.folderRequests,
                ElementsAre(ScriptedFileChooser::FolderRequest{"Catalog", true}));
    EXPECT_EQ(state.message.get(), "Already covered by Photos.\n"
                                   "That folder isn\u2019t on a drive Ulmaro can see.");
    ASSERT_TRUE(coordinator->running());
    EXPECT_EQ(coordinator->running()->job.info.rootPath(), b.mountPath + "/New");

    state.message.set(std::nullopt);
    actions.addFolder(); // cancelled
    EXPECT_EQ(state.message.get(), std::nullopt);
}

TEST_F(CatalogWindowActionsTest, RescanOnlyForAnOnlineDriveOrFolderNotBeingScanned) {
    MountedVolume a = drive("A");
    keep(info("online", "A"));
    keep(info("other", "A", "Other"));
    keep(info("offline", "gone"));
    keep(info("list", "", "", CatalogInfo::Kind::efu));
    keep(info("missing", "A", "Gone"));
    std::filesystem::remove_all(CatalogInfo::join(a.mountPath, "Gone"));
    library.updateMounted(mounted);

    struct Case {
        const char* id;
        bool canRescan;
    };
    auto check = [&](std::initializer_list<Case> cases, const char* when) {
        for (const Case& c : cases) {
            model.select(c.id);
            EXPECT_EQ(actions.canRescan(), c.canRescan) << c.id << " " << when;
        }
    };
    check({{"online", true}, {"offline", false}, {"list", false}, {"missing", false}}, "idle");
    coordinator->rescan("other");
    check({{"online", true}, {"other", false}}, "while other scans");

    model.select("online");
    actions.rescan();
    runAll();
    ASSERT_EQ(scans.size(), 2u);
    EXPECT_EQ(scans.back().root, a.mountPath);
}

TEST_F(CatalogWindowActionsTest, ExportSuggestsASafeNameAndShowsOnlyAFailure) {
    struct Case {
        const char* name;
        const char* suggested;
    };
    for (const Case& c : std::initializer_list<Case>{{"Photos", "Photos.ulmarocatalog"},
                                                     {"A/B", "A-B.ulmarocatalog"},
                                                     {"..", "Catalog.ulmarocatalog"},
                                                     {".", "Catalog.ulmarocatalog"},
                                                     {"", "Catalog.ulmarocatalog"},
                                                     {"Tab\there", "Tab-here.ulmarocatalog"}})
        EXPECT_EQ(CatalogWindowActions::exportFileName(c.name), c.suggested) << c.name;

    drive("A");
    auto kept = info("disk", "A");
    kept.name = "../Disk";
    keep(kept);
    keepDamaged("broken");

    model.select("broken");
    EXPECT_FALSE(actions.canExport()) << "no loaded index";
    model.select("disk");
    EXPECT_TRUE(actions.canExport());
    EXPECT_TRUE(actions.canImport());

    // While the archive is written only "Export…" and "Import…" wait.
    const fs::path out = dir / "out";
    fs::create_directories(out);
    chooser.saveAnswers.push_back((out / "Disk.ulmarocatalog").string());
    actions.exportSelected();
    EXPECT_THAT(chooser.saveRequests, ElementsAre(ScriptedFileChooser::SaveRequest{
                                          "..-Disk.ulmarocatalog", "ulmarocatalog"}));
    EXPECT_FALSE(actions.canExport());
    EXPECT_FALSE(actions.canImport());
    EXPECT_TRUE(actions.canRescan());
    EXPECT_TRUE(actions.canForget());
    settle();
    EXPECT_TRUE(actions.canExport());
    EXPECT_TRUE(fs::is_regular_file(out / "Disk.ulmarocatalog"));
    EXPECT_EQ(state.message.get(), std::nullopt) << "nothing shown on success";

    // The archiver's own words follow the coordinator's.
    exportTo(dir / "no such folder" / "Disk.ulmarocatalog");
    EXPECT_THAT(state.message.get(),
                Optional(AllOf(StartsWith("Couldn\u2019t export the catalog: "),
                               HasSubstr("No such file or directory"))));

    state.message.set(std::nullopt);
    actions.exportSelected(); // cancelled
    settle();
    EXPECT_EQ(state.message.get(), std::nullopt);
    EXPECT_EQ(chooser.saveRequests.size(), 3u);
}

TEST_F(CatalogWindowActionsTest, ImportingAnExportedArchiveAndAnsweringTheConflict) {
    drive("A");
    auto existing = info("disk", "A");
    existing.name = "Disk";
    keep(existing);
    model.select("disk");
    const fs::path archive = dir / "out" / "Disk.ulmarocatalog";
    fs::create_directories(archive.parent_path());
    exportTo(archive);
    ASSERT_TRUE(fs::is_regular_file(archive));

    // Forgotten, the archive comes back as a catalog of its own, selected.
    ASSERT_TRUE(coordinator->forget("disk"));
    importFrom(archive);
    EXPECT_THAT(chooser.fileRequests,
                ElementsAre(ScriptedFileChooser::FileRequest{"Import", {"ulmarocatalog", "efu"}}));
    ASSERT_EQ(ids().size(), 1u);
    const std::string first = ids().front();
    EXPECT_NE(first, "disk");
    EXPECT_EQ(model.selectedID.get(), first);
    EXPECT_EQ(state.pendingImport.get(), std::nullopt);

    // Again: the question, and a newer conflict before it is answered deletes the first copy.
    importFrom(archive);
    ASSERT_TRUE(state.pendingImport.get());
    const fs::path firstCopy = state.pendingImport.get()->directory;
    EXPECT_TRUE(fs::exists(firstCopy));
    EXPECT_EQ(state.pendingImport.get()->replacing, first);
    EXPECT_EQ(actions.importTitle(), "A catalog of \u201cDisk\u201d already exists.");
    importFrom(archive);
    ASSERT_TRUE(state.pendingImport.get());
    EXPECT_NE(state.pendingImport.get()->directory, firstCopy);
    EXPECT_FALSE(fs::exists(firstCopy));

    // Keep: the copy goes, nothing is shown, the library is as it was.
    actions.cancelPendingImport();
    mainQueue.drain();
    EXPECT_EQ(state.pendingImport.get(), std::nullopt);
    EXPECT_TRUE(temporaryIsEmpty());
    EXPECT_EQ(state.message.get(), std::nullopt);
    EXPECT_THAT(ids(), ElementsAre(first));
    actions.cancelPendingImport(); // nothing left to settle

    // Replace: the copy is installed and selected, the old catalog goes to the Trash.
    importFrom(archive);
    actions.replace();
    mainQueue.drain();
    EXPECT_EQ(state.pendingImport.get(), std::nullopt);
    ASSERT_EQ(ids().size(), 1u);
    const std::string second = ids().front();
    EXPECT_NE(second, first);
    EXPECT_EQ(model.selectedID.get(), second);
    EXPECT_EQ(state.message.get(), std::nullopt);

    // Replace with a Trash that refuses: both stay, and the user is told.
    trashWorks = false;
    importFrom(archive);
    actions.replace();
    mainQueue.drain();
    EXPECT_EQ(state.message.get(),
              "Imported, but couldn\u2019t move the old catalog to the Trash.");
    EXPECT_EQ(ids().size(), 2u);
    EXPECT_TRUE(temporaryIsEmpty());
}

TEST_F(CatalogWindowActionsTest, ImportFailuresShowTheirTextAndAnEmptyOneNothing) {
    const fs::path bad = dir / "in" / "Notes.ulmarocatalog";
    fs::create_directories(bad.parent_path());
    std::ofstream(bad) << "not an archive";
    importFrom(bad);
    EXPECT_EQ(state.message.get(),
              "Couldn\u2019t import \u201cNotes.ulmarocatalog\u201d: it isn\u2019t an "
              "Ulmaro catalog.");
    EXPECT_TRUE(ids().empty());
    EXPECT_TRUE(temporaryIsEmpty());

    state.message.set(std::nullopt);
    actions.handle(CatalogCoordinator::Failed{});
    EXPECT_EQ(state.message.get(), std::nullopt);
    actions.importFile(); // cancelled
    settle();
    EXPECT_EQ(state.message.get(), std::nullopt);
}

TEST_F(CatalogWindowActionsTest, AnImportThatSkippedRowsSelectsItsCatalogAndSaysSo) {
    const fs::path list = dir / "in" / "Mixed.efu";
    fs::create_directories(list.parent_path());
    std::ofstream(list) << "Filename\nC:\\a.txt\n/home/ann/b.txt\n";
    importFrom(list);
    ASSERT_EQ(ids().size(), 1u);
    EXPECT_EQ(model.selectedID.get(), ids()[0]);
    EXPECT_THAT(state.message.get(),
                Optional(AllOf(StartsWith("Imported \u201CMixed\u201D, but skipped 1 of its 2 "
                                          "rows"),
                               HasSubstr("Windows path"))));
}

TEST_F(CatalogWindowActionsTest, ForgetTitlesAndForgetting) {
    drive("A");
    auto kept = info("disk", "A");
    kept.name = "Disk";
    keep(kept);
    keepDamaged("broken");
    mainQueue.drain();

    EXPECT_FALSE(actions.canForget());
    EXPECT_EQ(actions.forgetTitle(), "Forget this catalog?");
    model.select("broken");
    EXPECT_EQ(actions.forgetTitle(), "Forget this damaged catalog?");
    model.select("disk");
    EXPECT_EQ(actions.forgetTitle(), "Forget \u201cDisk\u201d?");

    trashWorks = false;
    actions.forget();
    EXPECT_EQ(state.message.get(), "Couldn\u2019t move the catalog to the Trash.");
    EXPECT_FALSE(state.reselectAfterForget.get());
    EXPECT_EQ(model.selectedID.get(), "disk") << "the selection stays";

    trashWorks = true;
    actions.forget();
    mainQueue.drain();
    EXPECT_EQ(model.selectedID.get(), "broken") << "the one left is chosen";
    actions.forget();
    mainQueue.drain();
    EXPECT_TRUE(library.entries().empty());
    EXPECT_EQ(model.selectedID.get(), std::nullopt);
    EXPECT_EQ(state.detail().text, "No catalogs yet");
}

} // namespace
} // namespace ulmaro
