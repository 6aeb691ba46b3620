// The catalog window's actions over the real library, coordinator and browser model (a
// scan the test steers, a hand-drained main queue), a scripted file chooser, and transfers
// the test answers.
#include "UlmaroAppKit/Catalogs/CatalogBrowserModel.h"
#include "UlmaroAppKit/Catalogs/CatalogCoordinatorFixture.h"
#include "UlmaroAppKit/Catalogs/CatalogWindowActions.h"
#include "UlmaroAppKit/Fakes/ScriptedFileChooser.h"
#include "support/AnsweredTransfers.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using ::testing::ElementsAre;
using Outcome = CatalogCoordinator::ImportOutcome;
using Pending = CatalogCoordinator::PendingImport;

using test::AnsweredTransfers;

class CatalogWindowActionsTest : public test::CatalogCoordinatorFixture {
protected:
    CatalogWindowActionsTest() { state.attach(); }

    /// A catalog whose information file cannot be read: named by its ID.
    void keepDamaged(const std::string& id) {
        std::filesystem::create_directories(layout.directory(id));
        std::ofstream(layout.infoURL(id)) << "{";
        library.reloadAll();
    }

    static Outcome conflictWith(const std::string& replacing, const std::string& copy) {
        Pending pending;
        pending.info.id = copy;
        pending.directory = "/tmp/unpacked-" + copy;
        pending.replacing = replacing;
        return CatalogCoordinator::Conflict{replacing, pending};
    }

    CatalogBrowserModel model{library};
    CatalogWindowState state{model, *coordinator, mainQueue, &CatalogBrowserModel::status};
    AnsweredTransfers transfers;
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
    transfers.transferring.set(true);
    EXPECT_FALSE(actions.canExport());
    EXPECT_FALSE(actions.canImport());
    EXPECT_TRUE(actions.canRescan()) << "the rest stays available";
    transfers.transferring.set(false);

    chooser.saveAnswers.push_back("/home/me/Disk.ulmarocatalog");
    actions.exportSelected();
    EXPECT_THAT(chooser.saveRequests, ElementsAre(ScriptedFileChooser::SaveRequest{
                                          "..-Disk.ulmarocatalog", "ulmarocatalog"}));
    EXPECT_THAT(transfers.exports, ElementsAre(std::pair<std::string, std::string>{
                                       "disk", "/home/me/Disk.ulmarocatalog"}));
    transfers.exportDone(std::nullopt);
    EXPECT_EQ(state.message.get(), std::nullopt);
    chooser.saveAnswers.push_back("/home/me/Disk.ulmarocatalog");
    actions.exportSelected();
    transfers.exportDone("Couldn\u2019t export the catalog: No space left on device.");
    EXPECT_EQ(state.message.get(), "Couldn\u2019t export the catalog: No space left on device.");

    actions.exportSelected(); // cancelled
    EXPECT_EQ(transfers.exports.size(), 2u);
}

TEST_F(CatalogWindowActionsTest, ImportOutcomesAndTheQuestion) {
    drive("A");
    auto existing = info("disk", "A");
    existing.name = "Disk";
    keep(existing);
    keep(info("copy", "A", "Copy"));

    chooser.fileAnswers.push_back("/home/me/Disk.ulmarocatalog");
    actions.importFile();
    EXPECT_THAT(chooser.fileRequests,
                ElementsAre(ScriptedFileChooser::FileRequest{"Import", {"ulmarocatalog", "efu"}}));
    EXPECT_THAT(transfers.imports, ElementsAre("/home/me/Disk.ulmarocatalog"));

    // A conflict holds the question; a second one first settles the first as kept.
    transfers.importDone(conflictWith("disk", "first"));
    EXPECT_EQ(state.pendingImport.get()->info.id, "first");
    EXPECT_EQ(actions.importTitle(), "A catalog of \u201cDisk\u201d already exists.");
    actions.handle(conflictWith("disk", "second"));
    EXPECT_EQ(state.pendingImport.get()->info.id, "second");
    EXPECT_THAT(transfers.resolved, ElementsAre(std::pair<std::string, bool>{"first", false}));

    // Keeping deletes the copy and shows nothing.
    actions.cancelPendingImport();
    EXPECT_EQ(state.pendingImport.get(), std::nullopt);
    EXPECT_EQ(transfers.resolved.back(), (std::pair<std::string, bool>{"second", false}));
    EXPECT_EQ(state.message.get(), std::nullopt);
    actions.cancelPendingImport();
    EXPECT_EQ(transfers.resolved.size(), 2u) << "nothing left to settle";

    // Replacing selects the installed catalog, or tells of the old one left in place.
    actions.handle(conflictWith("disk", "third"));
    transfers.replaced = CatalogCoordinator::Imported{"copy"};
    actions.replace();
    EXPECT_EQ(state.pendingImport.get(), std::nullopt);
    EXPECT_EQ(transfers.resolved.back(), (std::pair<std::string, bool>{"third", true}));
    EXPECT_EQ(model.selectedID.get(), "copy");
    actions.handle(conflictWith("disk", "fourth"));
    transfers.replaced = CatalogCoordinator::Failed{
        "Imported, but couldn\u2019t move the old catalog to the Trash."};
    actions.replace();
    EXPECT_EQ(state.message.get(),
              "Imported, but couldn\u2019t move the old catalog to the Trash.");

    state.message.set(std::nullopt);
    actions.handle(CatalogCoordinator::Failed{});
    EXPECT_EQ(state.message.get(), std::nullopt) << "an empty failure shows nothing";
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
    model.select("broken");
    actions.forget();
    mainQueue.drain();
    EXPECT_EQ(state.detail().text, "No catalogs yet");
}

} // namespace
} // namespace ulmaro
