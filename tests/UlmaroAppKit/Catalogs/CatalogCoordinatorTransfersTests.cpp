#include "CatalogCoordinatorFixture.h"
#include "UlmaroKit/Catalogs/CatalogArchive.h"

#include <sys/stat.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using Outcome = CatalogCoordinator::ImportOutcome;
using Imported = CatalogCoordinator::Imported;
using Conflict = CatalogCoordinator::Conflict;
using Failed = CatalogCoordinator::Failed;

constexpr const char* photosList = "Filename,Size,Attributes\n"
                                   "\"C:\\Photos\",0,16\n"
                                   "\"C:\\Photos\\a.jpg\",100,32\n"
                                   "\"C:\\Photos\\b.jpg\",250,32\n";

class CatalogTransfers : public test::CatalogCoordinatorFixture {
protected:
    // Exports stage in the data folder; keep it in the test's own.
    test::ScopedEnv dataHome{"XDG_DATA_HOME", (dir / "data").string()};
    fs::path temporary = dir / "Temporary";

    fs::path file(const std::string& name, std::string_view text) {
        const fs::path path = dir / "in" / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    /// Runs every transfer queue and the main queue until the import answers.
    Outcome importNow(const fs::path& path) {
        std::optional<Outcome> got;
        coordinator->importCatalog(path, [&](Outcome outcome) { got = std::move(outcome); });
        settle();
        return got.value();
    }
    std::optional<std::string> exportNow(const std::string& id, const fs::path& to) {
        std::optional<std::optional<std::string>> got;
        coordinator->exportCatalog(id, to, [&](std::optional<std::string> m) { got = m; });
        settle();
        return got.value();
    }
    bool temporaryIsEmpty() const { return !fs::exists(temporary) || fs::is_empty(temporary); }
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : library.entries())
            found.push_back(entry.info.name);
        return found;
    }
};

TEST_F(CatalogTransfers, AnEFUListBecomesACatalogOfItsOwnAndTheSameListConflicts) {
    const fs::path list = file("Photos 2019.EFU", photosList);
    const WallTime started = clock.now();
    std::optional<Outcome> first;
    coordinator->importCatalog(list, [&](Outcome o) { first = std::move(o); });
    clock.advance(Seconds(30)); // the list is stamped when the import began
    settle();
    ASSERT_TRUE(std::holds_alternative<Imported>(first.value()));
    const std::string id = std::get<Imported>(*first).id;
    const CatalogEntry* entry = library.entry(id);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->info.kind, CatalogInfo::Kind::efu);
    EXPECT_EQ(entry->info.name, "Photos 2019");
    EXPECT_EQ(entry->info.relativeRoot, "");
    EXPECT_EQ(entry->info.lastMountPath, "");
    EXPECT_EQ(entry->info.lastCatalogued,
              std::chrono::time_point_cast<std::chrono::seconds>(started));
    EXPECT_EQ(entry->info.fileCount, 2);
    EXPECT_EQ(entry->info.totalBytes, 350u);
    EXPECT_TRUE(entry->info.volumeUUID.starts_with("efu:"));
    EXPECT_NE(entry->store, nullptr);
    EXPECT_EQ(entry->store->header().volumes.at(0).uuid, entry->info.volumeUUID);
    EXPECT_TRUE(temporaryIsEmpty());
    EXPECT_FALSE(coordinator->isTransferring());

    // The same bytes again: a conflict naming the first, its copy waiting.
    const Outcome again = importNow(file("copy.efu", photosList));
    ASSERT_TRUE(std::holds_alternative<Conflict>(again));
    const Conflict& conflict = std::get<Conflict>(again);
    EXPECT_EQ(conflict.existingName, "Photos 2019");
    EXPECT_EQ(conflict.pending.replacing, id);
    EXPECT_TRUE(fs::exists(conflict.pending.directory / "index.bin"));
    EXPECT_EQ(coordinator->resolve(conflict.pending, false), Outcome(Failed{""}));
    EXPECT_TRUE(temporaryIsEmpty());
    EXPECT_EQ(library.entries().size(), 1u);

    // One byte changed: another catalog.
    std::string changed = photosList;
    changed[changed.size() - 2] = '3';
    EXPECT_TRUE(std::holds_alternative<Imported>(importNow(file("changed.efu", changed))));
    EXPECT_EQ(library.entries().size(), 2u);
}

// Rows whose paths are refused are not dropped in silence: the import says how many, and
// says it again when it replaces an earlier import of the same list.
TEST_F(CatalogTransfers, AnImportSaysHowManyRowsItSkipped) {
    const std::string list = "Filename\n"
                             "C:\\a\\b.txt\n"
                             "C:\\a\\..\\c.txt\n"
                             "/home/ann/d.txt\n"
                             "C:\\.\\e.txt\n";
    const Outcome first = importNow(file("Mixed.efu", list));
    ASSERT_TRUE(std::holds_alternative<Imported>(first));
    const std::string note = "Imported \u201CMixed\u201D, but skipped 3 of its 4 rows: their "
                             "paths hold \u201C.\u201D or \u201C..\u201D or aren\u2019t "
                             "Windows paths.";
    EXPECT_EQ(std::get<Imported>(first).note, note);
    EXPECT_EQ(library.entry(std::get<Imported>(first).id)->info.fileCount, 1);

    const Outcome again = importNow(file("Mixed.efu", list));
    ASSERT_TRUE(std::holds_alternative<Conflict>(again));
    const Outcome replaced = coordinator->resolve(std::get<Conflict>(again).pending, true);
    ASSERT_TRUE(std::holds_alternative<Imported>(replaced));
    EXPECT_EQ(std::get<Imported>(replaced).note, note);

    EXPECT_EQ(std::get<Imported>(importNow(file("Clean.efu", photosList))).note, "");
    EXPECT_EQ(CatalogCoordinator::refusedRowsNote("One", 1, 1),
              "Imported \u201COne\u201D, but skipped 1 of its 1 row: its path holds \u201C.\u201D "
              "or \u201C..\u201D or isn\u2019t a Windows path.");
}

TEST_F(CatalogTransfers, FailedImportsSayWhyAndLeaveNothingBehind) {
    ASSERT_EQ(::mkfifo((dir / "pipe.efu").c_str(), 0600), 0);
    struct Case {
        fs::path path;
        std::string message;
    };
    const Case cases[] = {
        {file("list.txt", photosList), "Couldn\u2019t import \u201Clist.txt\u201D: "},
        {file("bad.efu", "Name\nx\n"),
         "Couldn\u2019t import \u201Cbad.efu\u201D: it has no Filename column."},
        {dir / "missing.efu",
         "Couldn\u2019t import \u201Cmissing.efu\u201D: No such file or directory"},
        // A FIFO named like a list must not hang the import.
        {dir / "pipe.efu", "Couldn\u2019t import \u201Cpipe.efu\u201D: Invalid argument"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = importNow(c.path);
        ASSERT_TRUE(std::holds_alternative<Failed>(outcome)) << c.path;
        EXPECT_TRUE(std::get<Failed>(outcome).message.starts_with(c.message))
            << std::get<Failed>(outcome).message;
        EXPECT_TRUE(temporaryIsEmpty()) << c.path;
    }
    EXPECT_TRUE(library.entries().empty());
}

TEST_F(CatalogTransfers, AnArchiveComesBackUnderANewIdAndReplacesOrKeepsTheOriginal) {
    const MountedVolume disk = drive("U1");
    CatalogInfo kept = info("OLD-ID", "U1");
    kept.name = "Disk";
    keep(kept);
    const fs::path archive = dir / "out" / "Disk.ulmarocatalog";
    fs::create_directories(archive.parent_path());
    EXPECT_EQ(exportNow("OLD-ID", archive), std::nullopt);
    EXPECT_EQ(exportNow("NOT-THERE", dir / "out" / "x.ulmarocatalog")
                  .value_or("")
                  .rfind("Couldn\u2019t export the catalog: ", 0),
              0u);

    // Keep, then replace with a Trash that refuses, then replace.
    Outcome outcome = importNow(archive);
    ASSERT_TRUE(std::holds_alternative<Conflict>(outcome));
    EXPECT_EQ(std::get<Conflict>(outcome).existingName, "Disk");
    EXPECT_EQ(coordinator->resolve(std::get<Conflict>(outcome).pending, false),
              Outcome(Failed{""}));
    EXPECT_TRUE(temporaryIsEmpty());

    trashWorks = false;
    outcome = importNow(archive);
    EXPECT_EQ(coordinator->resolve(std::get<Conflict>(outcome).pending, true),
              Outcome(Failed{"Imported, but couldn\u2019t move the old catalog to the Trash."}));
    EXPECT_EQ(names(), (std::vector<std::string>{"Disk", "Disk"}));
    EXPECT_NE(library.entry("OLD-ID"), nullptr);
    std::string newer;
    for (const auto& entry : library.entries())
        if (entry.id() != "OLD-ID") newer = entry.id();

    trashWorks = true;
    ASSERT_TRUE(coordinator->forget(newer));
    outcome = importNow(archive);
    const Outcome replaced = coordinator->resolve(std::get<Conflict>(outcome).pending, true);
    ASSERT_TRUE(std::holds_alternative<Imported>(replaced));
    const std::string id = std::get<Imported>(replaced).id;
    EXPECT_NE(id, "OLD-ID");
    EXPECT_EQ(library.entry("OLD-ID"), nullptr);
    ASSERT_NE(library.entry(id), nullptr);
    EXPECT_EQ(library.entry(id)->info.name, "Disk");
    EXPECT_EQ(library.entry(id)->currentRoot, disk.mountPath) << "found on its drive";
    EXPECT_TRUE(temporaryIsEmpty());

    // Once forgotten, the archive installs at once, again under a new ID.
    ASSERT_TRUE(coordinator->forget(id));
    const Outcome back = importNow(archive);
    ASSERT_TRUE(std::holds_alternative<Imported>(back));
    EXPECT_NE(std::get<Imported>(back).id, "OLD-ID");
}

TEST_F(CatalogTransfers, AFailingInstallLeavesNeitherFolder) {
    // The index is missing from the unpacked folder: the move fails.
    fs::create_directories(temporary / "unpacked");
    CatalogInfo listed = info("X", "efu:1", "", CatalogInfo::Kind::efu);
    const Outcome noIndex = coordinator->install({listed, temporary / "unpacked"});
    ASSERT_TRUE(std::holds_alternative<Failed>(noIndex));
    EXPECT_TRUE(std::get<Failed>(noIndex).message.starts_with(
        "Couldn\u2019t save the imported catalog: No such file or directory"));
    EXPECT_FALSE(fs::exists(temporary / "unpacked"));
    EXPECT_TRUE(!fs::exists(layout.root()) || fs::is_empty(layout.root()));

    // A catalogs folder that a regular file stands in the way of.
    fs::remove_all(layout.root());
    std::ofstream(layout.root()) << "not a folder";
    const Outcome blocked = importNow(file("list.efu", photosList));
    ASSERT_TRUE(std::holds_alternative<Failed>(blocked));
    EXPECT_TRUE(
        std::get<Failed>(blocked).message.starts_with("Couldn\u2019t save the imported catalog: "));
    EXPECT_TRUE(temporaryIsEmpty());
    EXPECT_TRUE(fs::is_regular_file(layout.root()));
}

TEST_F(CatalogTransfers, OverlappingTransfersKeepTheFlagUpUntilTheLastEnds) {
    std::vector<bool> seen;
    const Subscription watching =
        coordinator->observeIsTransferring([&](const bool& on) { seen.push_back(on); });
    int answered = 0;
    coordinator->importCatalog(file("a.efu", photosList), [&](Outcome) { ++answered; });
    coordinator->importCatalog(file("b.efu", "Filename\n\"D:\\x\"\n"),
                               [&](Outcome) { ++answered; });
    EXPECT_EQ(coordinator->transfers(), 2);
    EXPECT_TRUE(coordinator->isTransferring());

    // The first one ends; the second is still under way.
    std::vector<std::shared_ptr<ManualSerialQueue>> transfers;
    for (const auto& queue : queues.queues())
        if (queue->label() == "app.ulmaro.catalog-transfer") transfers.push_back(queue);
    ASSERT_EQ(transfers.size(), 2u);
    transfers[0]->drain();
    mainQueue.drain();
    EXPECT_EQ(answered, 1);
    EXPECT_TRUE(coordinator->isTransferring());
    transfers[1]->drain();
    mainQueue.drain();
    EXPECT_EQ(answered, 2);
    EXPECT_FALSE(coordinator->isTransferring());
    EXPECT_EQ(seen, (std::vector<bool>{true, true, true, false}));
}

TEST_F(CatalogTransfers, StartSweepsWhatEarlierLaunchesLeftInTheTemporaryFolder) {
    fs::create_directories(temporary / "efu-import-OLD" / "deep");
    std::ofstream(temporary / "catalog-export-OLD.zip") << "x";
    coordinator->start();
    EXPECT_TRUE(fs::exists(temporary));
    EXPECT_TRUE(fs::is_empty(temporary));

    // An import unanswered when the coordinator goes leaves nothing either.
    coordinator->importCatalog(file("late.efu", photosList), [](Outcome) { FAIL(); });
    queues.drainAll();
    EXPECT_FALSE(fs::is_empty(temporary));
    coordinator.reset();
    mainQueue.drain();
    EXPECT_TRUE(fs::is_empty(temporary));
}

} // namespace
} // namespace ulmaro
