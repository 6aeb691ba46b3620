#include "UlmaroAppKit/Catalogs/CatalogCoordinator.h"
#include "UlmaroKit/Catalogs/CatalogArchive.h"
#include "UlmaroKit/Catalogs/CatalogError.h"
#include "UlmaroKit/Catalogs/EFUImporter.h"
#include "support/TempDir.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using Coordinator = CatalogCoordinator;
using Signal = FileSystemWatcherSignal;

TEST(CatalogCoordinatorRules, ChangeFilter) {
    const std::string root = "/home/ann/.local/share/Ulmaro/Catalogs";
    struct Case {
        const char* what;
        Signal signal;
        std::string root;
        bool relevant;
    };
    const Case cases[] = {
        {"history done", Signal::historyDone(), root, false},
        {"full rescan", Signal::mustFullRescan(), root, true},
        {"empty list", Signal::changedPaths({}), root, false},
        {"only the catalogs folder",
         Signal::changedPaths({root, root + "/ABC/index.bin", root + "/ABC/info.json"}), root,
         false},
        {"a sibling sharing the prefix", Signal::changedPaths({root + "Old/x"}), root, true},
        {"one path elsewhere",
         Signal::changedPaths({root + "/ABC/index.bin", "/home/ann/Documents/a.txt"}), root, true},
        {"/private folded from the path", Signal::changedPaths({"/private/tmp/c/x"}), "/tmp/c",
         false},
        {"/private folded from the root", Signal::changedPaths({"/tmp/c/x", "/tmp/c"}),
         "/private/tmp/c", false},
        {"/private both", Signal::changedPaths({"/private/tmp/c/x"}), "/private/tmp/c", false},
        {"/private only at the start", Signal::changedPaths({"/tmp/private/tmp/c/x"}), "/tmp/c",
         true},
        {"high churn only",
         Signal::changedPaths({"/home/ann/src/node_modules/x/y.js", "/home/ann/.cache/z"}), root,
         false},
        {"high churn and one real change",
         Signal::changedPaths({"/home/ann/.git/index", "/home/ann/notes.txt"}), root, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Coordinator::isRelevant(c.signal, c.root), c.relevant) << c.what;
}

TEST(CatalogCoordinatorRules, ChangeFilterKnowsALinkedCatalogsFolderByItsRealPath) {
    test::TempDir dir;
    fs::create_directories(dir / "real/Catalogs/ABC");
    fs::create_symlink(dir / "real", dir / "data");
    const std::string linked = (dir / "data/Catalogs").string();
    const std::string real = fs::canonical(dir / "real/Catalogs").string();

    EXPECT_FALSE(Coordinator::isRelevant(Signal::changedPaths({real + "/ABC/index.bin"}), linked));
    EXPECT_FALSE(Coordinator::isRelevant(Signal::changedPaths({linked + "/ABC"}), linked));
    EXPECT_TRUE(Coordinator::isRelevant(
        Signal::changedPaths({real + "/ABC/index.bin", (dir / "real/other").string()}), linked));
    // A root that does not resolve is compared as written.
    EXPECT_FALSE(Coordinator::isRelevant(Signal::changedPaths({"/nowhere/c/x"}), "/nowhere/c"));
}

TEST(CatalogCoordinatorRules, SameIdentityIsKindVolumeAndRelativeRoot) {
    CatalogInfo a;
    a.id = "A";
    a.name = "Backup";
    a.kind = CatalogInfo::Kind::drive;
    a.volumeUUID = "V1";
    CatalogInfo b = a;
    b.id = "B";
    b.name = "Other name";
    b.fileCount = 12;
    EXPECT_TRUE(Coordinator::sameIdentity(a, b));

    CatalogInfo folder = a;
    folder.kind = CatalogInfo::Kind::folder;
    CatalogInfo below = a;
    below.relativeRoot = "Photos";
    CatalogInfo otherDrive = a;
    otherDrive.volumeUUID = "V2";
    CatalogInfo caseOnly = a;
    caseOnly.volumeUUID = "v1";
    for (const auto& other : {folder, below, otherDrive, caseOnly})
        EXPECT_FALSE(Coordinator::sameIdentity(a, other));
}

TEST(CatalogCoordinatorRules, DescribeWordsEachKnownError) {
    using AE = CatalogArchive::ArchiveError;
    using EE = EFUImporter::EFUError;
    EXPECT_EQ(Coordinator::describe(AE::unsupportedFormat(7)),
              "it was made by a newer version of Ulmaro.");
    EXPECT_EQ(Coordinator::describe(AE::toolFailed("")), "it couldn\u2019t be unzipped.");
    EXPECT_EQ(Coordinator::describe(AE::toolFailed("Zip archive inconsistent")),
              "Zip archive inconsistent");
    EXPECT_EQ(Coordinator::describe(AE::notACatalog()), "it isn\u2019t an Ulmaro catalog.");
    EXPECT_EQ(Coordinator::describe(AE::damagedIndex()), "its index failed its checksum.");
    EXPECT_EQ(Coordinator::describe(EE::missingFilenameColumn()), "it has no Filename column.");
    EXPECT_EQ(Coordinator::describe(EE::malformedRow(12)), "line 12 can\u2019t be read.");
    EXPECT_EQ(Coordinator::describe(std::system_error(ENOSPC, std::generic_category(), "write")),
              "No space left on device");
    EXPECT_EQ(Coordinator::describe(fs::filesystem_error(
                  "rename", std::make_error_code(std::errc::permission_denied))),
              "Permission denied");
    EXPECT_EQ(Coordinator::describe(std::runtime_error("odd failure")), "odd failure");

    EXPECT_EQ(Coordinator::describe(std::make_exception_ptr(EE::malformedRow(3))),
              "line 3 can\u2019t be read.");
    EXPECT_EQ(Coordinator::describe(std::make_exception_ptr(42)), "An unknown error occurred.");
}

TEST(CatalogCoordinatorRules, ValuesAreEqualCaseByCase) {
    using C = Coordinator;
    EXPECT_EQ(C::Activity(C::Idle{}), C::Activity(C::Idle{}));
    EXPECT_EQ(C::Activity(C::Scanning{"A", "Backup", 3}),
              C::Activity(C::Scanning{"A", "Backup", 3}));
    for (const auto& other :
         {C::Activity(C::Idle{}), C::Activity(C::Scanning{"B", "Backup", 3}),
          C::Activity(C::Scanning{"A", "Photos", 3}), C::Activity(C::Scanning{"A", "Backup", 4})})
        EXPECT_NE(C::Activity(C::Scanning{"A", "Backup", 3}), other);

    EXPECT_EQ(C::AddResult(C::Started{"A"}), C::AddResult(C::Started{"A"}));
    EXPECT_EQ(C::AddResult(C::NotOnAVolume{}), C::AddResult(C::NotOnAVolume{}));
    EXPECT_NE(C::AddResult(C::Started{"A"}), C::AddResult(C::Started{"B"}));
    EXPECT_NE(C::AddResult(C::Started{"A"}), C::AddResult(C::AlreadyCovered{"A"}));
    EXPECT_NE(C::AddResult(C::AlreadyCovered{"A"}), C::AddResult(C::AlreadyCovered{"B"}));

    CatalogInfo info;
    info.id = "N";
    info.volumeUUID = "V";
    const C::PendingImport pending{info, "/tmp/x", "OLD"};
    EXPECT_EQ(C::ImportOutcome(C::Conflict{"Backup", pending}),
              C::ImportOutcome(C::Conflict{"Backup", pending}));
    auto changedInfo = pending;
    changedInfo.info.lastConnected = CatalogInfo::Date{};
    auto changedFolder = pending;
    changedFolder.directory = "/tmp/y";
    auto changedReplacing = pending;
    changedReplacing.replacing = "OTHER";
    for (const auto& other : {changedInfo, changedFolder, changedReplacing})
        EXPECT_NE(C::ImportOutcome(C::Conflict{"Backup", pending}),
                  C::ImportOutcome(C::Conflict{"Backup", other}));
    EXPECT_NE(C::ImportOutcome(C::Conflict{"Backup", pending}),
              C::ImportOutcome(C::Conflict{"Photos", pending}));
    EXPECT_EQ(C::ImportOutcome(C::Imported{"A"}), C::ImportOutcome(C::Imported{"A"}));
    EXPECT_NE(C::ImportOutcome(C::Imported{"A"}), C::ImportOutcome(C::Failed{"A"}));
    EXPECT_EQ(C::ImportOutcome(C::Failed{""}), C::ImportOutcome(C::Failed{""}));
    EXPECT_NE(C::ImportOutcome(C::Failed{"x"}), C::ImportOutcome(C::Failed{"y"}));

    EXPECT_EQ((C::Job{info, {"A", "B"}}), (C::Job{info, {"A", "B"}}));
    EXPECT_NE((C::Job{info, {"A", "B"}}), (C::Job{info, {"B", "A"}}));
}

TEST(CatalogCoordinatorRules, KeepGoingUntilTheFlagIsSetFromAnotherThread) {
    CancelFlag flag;
    EXPECT_TRUE(flag.shouldContinue());
    std::thread setter([&] { flag.cancel(); });
    setter.join();
    EXPECT_FALSE(flag.shouldContinue());
    EXPECT_TRUE(flag.isCancelled());
}

} // namespace
} // namespace ulmaro
