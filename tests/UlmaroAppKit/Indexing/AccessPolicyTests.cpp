#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Indexing/ContentIndexHolder.h"
#include "UlmaroAppKit/Indexing/ContentIndexScope.h"
#include "UlmaroAppKit/Indexing/FDAPromptStore.h"
#include "UlmaroAppKit/Indexing/FDAScanPolicy.h"
#include "UlmaroAppKit/Indexing/FullDiskAccess.h"
#include "UlmaroKit/Content/ContentIndex.h"
#include "UlmaroKit/Platform/DataLocations.h"
#include "support/TempDir.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

namespace ulmaro {
namespace {

using test::TempDir;
using ::testing::ElementsAre;

TEST(FullDiskAccess, TheProbeOpensItsFileAndTheApplicationsAnswersGranted) {
    TempDir dir;
    EXPECT_FALSE(FullDiskAccess::isGranted((dir / "missing.db").string()));
    std::ofstream(dir / "present.db") << "x";
    EXPECT_TRUE(FullDiskAccess::isGranted((dir / "present.db").string()));
    EXPECT_FALSE(FullDiskAccess::isGranted(dir.path().string() + "/present.db/below"));

    EXPECT_EQ(FullDiskAccess::defaultProbePath(),
              (DataLocations::homeDirectory() / "Library/Application Support/com.apple.TCC/TCC.db")
                  .string());
    EXPECT_EQ(FullDiskAccess::systemSettingsURL(),
              "x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles");
    EXPECT_TRUE(FullDiskAccess::systemProbe()());
}

TEST(FDAScanPolicy, RootPolicyAndTheRescanAfterAGrant) {
    const std::filesystem::path home = "/home/ann";
    for (bool granted : {true, false})
        EXPECT_EQ(FDAScanPolicy::scanRoot(granted, home), "/");
    EXPECT_EQ(FDAScanPolicy::scanPolicy(true, home, true), ScanPolicy::fullDisk("/home/ann", true));
    EXPECT_EQ(FDAScanPolicy::scanPolicy(true, home, false),
              ScanPolicy::fullDisk("/home/ann", false));
    for (bool system : {true, false})
        EXPECT_EQ(FDAScanPolicy::scanPolicy(false, home, system),
                  ScanPolicy::excludingTCCProtectedPaths(home));

    struct Case {
        bool granted, lastUsed, indexExists, rescan;
    };
    const Case cases[] = {
        {true, false, true, true},    {true, false, false, false}, {true, true, true, false},
        {true, true, false, false},   {false, false, true, false}, {false, true, true, false},
        {false, false, false, false}, {false, true, false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FDAScanPolicy::needsRescanAfterGrant(c.granted, c.lastUsed, c.indexExists),
                  c.rescan)
            << c.granted << c.lastUsed << c.indexExists;

    InMemorySettingsStore settings;
    EXPECT_FALSE(FDAScanPolicy::lastScanUsedFullDiskAccess(settings));
    FDAScanPolicy::recordScanUsedFullDiskAccess(true, settings);
    EXPECT_TRUE(FDAScanPolicy::lastScanUsedFullDiskAccess(settings));
    EXPECT_EQ(settings.boolValue("app.ulmaro.lastScanUsedFullDiskAccess"), true);
    FDAScanPolicy::recordScanUsedFullDiskAccess(false, settings);
    EXPECT_FALSE(FDAScanPolicy::lastScanUsedFullDiskAccess(settings));
}

TEST(FDAPromptStore, FlagsReadFalseUntilSet) {
    InMemorySettingsStore settings;
    EXPECT_FALSE(FDAPromptStore::isAskOwed(settings));
    EXPECT_FALSE(FDAPromptStore::hasTappedLater(settings));
    FDAPromptStore::markAskOwed(settings);
    EXPECT_TRUE(FDAPromptStore::isAskOwed(settings));
    FDAPromptStore::clearAskOwed(settings);
    EXPECT_FALSE(FDAPromptStore::isAskOwed(settings));
    EXPECT_FALSE(settings.contains("app.ulmaro.fdaAskOwed"));
    FDAPromptStore::markLaterTapped(settings);
    EXPECT_TRUE(FDAPromptStore::hasTappedLater(settings));
    EXPECT_EQ(settings.boolValue("app.ulmaro.fdaLaterTapped"), true);
}

TEST(ContentIndexScope, WithoutAccessTheProtectedPlacesDropOut) {
    const std::filesystem::path home = "/home/ann";
    const std::vector<std::string> folders{"/home/ann/Notes", "/home/ann/Documents",
                                           "/home/ann/Desktop/todo", "/srv/wiki",
                                           "/home/ann/Documents2"};
    EXPECT_EQ(ContentIndexScope::readableFolders(folders, true, home), folders);
    EXPECT_THAT(ContentIndexScope::readableFolders(folders, false, home),
                ElementsAre("/home/ann/Notes", "/srv/wiki", "/home/ann/Documents2"));
}

TEST(ContentIndexHolder, ReadersKeepTheirIndexAndConcurrentChangesLoseNothing) {
    ContentIndexHolder holder;
    EXPECT_EQ(holder.current(), nullptr);
    auto first = std::make_shared<const ContentIndex>();
    holder.setCurrent(first);
    const auto taken = holder.current();
    EXPECT_EQ(taken, first);

    constexpr int threads = 4;
    constexpr int each = 150;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([&holder, t] {
            for (int i = 0; i < each; ++i) {
                std::string path = "/d/";
                path += std::to_string(t);
                path += '-';
                path += std::to_string(i);
                holder.modify([&](const ContentIndexHolder::Index& old) {
                    auto next = std::make_shared<ContentIndex>(old ? *old : ContentIndex());
                    next->upsert(path, 1.0, "text");
                    return next;
                });
            }
        });
    }
    for (auto& w : writers)
        w.join();
    EXPECT_EQ(holder.current()->documents().size(), std::size_t(threads * each));
    EXPECT_TRUE(taken->isEmpty()); // the reader's copy never changed
}

} // namespace
} // namespace ulmaro
