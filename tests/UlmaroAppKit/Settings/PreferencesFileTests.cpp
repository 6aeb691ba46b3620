// Preferences over the real settings file: what a hand editor, a broken disk or a second
// running copy leaves there must never crash the app or cost another key.
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Platform/JsonFileSettingsStore.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace ulmaro {
namespace {

using json = nlohmann::json;
using Strings = std::vector<std::string>;

class PreferencesFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::ScopedEnv home{"HOME", "/home/tester"};
    test::ScopedEnv xdg{"XDG_CONFIG_HOME", dir.path().string()};
    std::filesystem::path file = JsonFileSettingsStore::defaultPath();
    ManualSerialQueueFactory queues;

    std::shared_ptr<JsonFileSettingsStore> openStore() {
        return std::make_shared<JsonFileSettingsStore>(file, queues);
    }
    void writeFile(const std::string& text) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }
    std::string readFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
};

TEST_F(PreferencesFileTest, EverySettingSurvivesARoundTripThroughAFreshStore) {
    EXPECT_EQ(file, dir / "Ulmaro" / "settings.json");
    {
        Preferences prefs(openStore());
        prefs.setUserExclusions({"/srv/b/", "/srv/a"});
        prefs.setSearchThisMac(false);
        prefs.setHotKey({40, 4096});
        prefs.confirmContentFolders();
        prefs.declineDrive("UUID-D");
        prefs.setCatalogMigrationDone(true);
        prefs.setIndexing(MountedVolume{"UUID-S", "/media/s", "s", std::nullopt, false, false},
                          false);
        prefs.setResultLimit(300);
        prefs.setIndexSystemFolders(false);
        prefs.setShowPaths(false);
        queues.drainAll();
    }
    Preferences prefs(openStore());
    EXPECT_EQ(prefs.userExclusions(), (Strings{"/srv/a", "/srv/b"}));
    EXPECT_FALSE(prefs.searchThisMac());
    EXPECT_EQ(prefs.hotKey(), (KeyCombo{40, 4096}));
    EXPECT_TRUE(prefs.hasChosenContentFolders());
    EXPECT_EQ(
        prefs.contentIndexFolders(),
        (Strings{"/home/tester/Desktop", "/home/tester/Documents", "/home/tester/Downloads"}));
    EXPECT_EQ(prefs.declinedDriveUUIDs(), Strings{"UUID-D"});
    EXPECT_TRUE(prefs.catalogMigrationDone());
    EXPECT_EQ(prefs.skippedVolumeUUIDs(), Strings{"UUID-S"});
    EXPECT_EQ(prefs.resultLimit(), 300);
    EXPECT_TRUE(prefs.hasChosenSystemFolders());
    EXPECT_FALSE(prefs.indexSystemFolders());
    EXPECT_FALSE(prefs.showPaths());
}

TEST_F(PreferencesFileTest, AHandEditedFileReadsWrongTypesAsDefaultsAndKeepsEveryOtherKey) {
    const std::string edited = R"({
        "app.ulmaro.searchThisMac": "no",
        "app.ulmaro.showPaths": 0,
        "app.ulmaro.hotKeyCode": 4294967296,
        "app.ulmaro.hotKeyModifiers": 2048,
        "app.ulmaro.resultLimit": 1e400,
        "app.ulmaro.userExclusions": ["/a", 7],
        "app.ulmaro.contentIndexFolders": "/home/tester/Documents",
        "app.ulmaro.declinedDriveUUIDs": {"not": "a list"},
        "app.ulmaro.indexSystemFolders": "yes",
        "app.ulmaro.recentSearches": "[{\"query\":\"x\"}]",
        "app.ulmaro.panelOriginX": -12.5,
        "someone.else": [1, {"deep": [true]}]
    })";
    writeFile(edited);
    auto store = openStore();
    Preferences prefs(store);
    EXPECT_TRUE(prefs.searchThisMac());
    EXPECT_TRUE(prefs.showPaths());
    EXPECT_EQ(prefs.hotKey(), KeyCombo::optionSpace);
    EXPECT_EQ(prefs.resultLimit(), 200);
    EXPECT_EQ(prefs.userExclusions(), Strings{});
    EXPECT_EQ(prefs.contentIndexFolders(), Preferences::defaultContentFolders());
    EXPECT_EQ(prefs.declinedDriveUUIDs(), Strings{});
    EXPECT_FALSE(prefs.indexSystemFolders());
    EXPECT_TRUE(prefs.hasChosenSystemFolders());

    prefs.declineDrive("UUID-1");
    queues.drainAll();

    auto expected = json::parse(R"({
        "app.ulmaro.searchThisMac": "no",
        "app.ulmaro.showPaths": 0,
        "app.ulmaro.hotKeyCode": 4294967296,
        "app.ulmaro.hotKeyModifiers": 2048,
        "app.ulmaro.resultLimit": null,
        "app.ulmaro.userExclusions": ["/a", 7],
        "app.ulmaro.contentIndexFolders": "/home/tester/Documents",
        "app.ulmaro.declinedDriveUUIDs": ["UUID-1"],
        "app.ulmaro.indexSystemFolders": "yes",
        "app.ulmaro.recentSearches": "[{\"query\":\"x\"}]",
        "app.ulmaro.panelOriginX": -12.5,
        "someone.else": [1, {"deep": [true]}]
    })");
    EXPECT_EQ(json::parse(readFile(file)), expected);
}

TEST_F(PreferencesFileTest, ADamagedFileMeansDefaultsAndIsKeptAside) {
    const std::string damaged = "{\"app.ulmaro.searchThisMac\": false,";
    writeFile(damaged);
    testing::internal::CaptureStderr();
    Preferences prefs(openStore());
    auto err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_TRUE(prefs.searchThisMac());

    prefs.setShowPaths(false);
    queues.drainAll();
    EXPECT_EQ(readFile(dir / "Ulmaro" / "settings.json.damaged"), damaged);
    EXPECT_EQ(json::parse(readFile(file)), (json{{"app.ulmaro.showPaths", false}}));
}

TEST_F(PreferencesFileTest, TwoStoresOverOneFileWritingDifferentKeysBothSurvive) {
    writeFile(R"({"app.ulmaro.lastScanTotal": 123})");
    Preferences first(openStore());
    Preferences second(openStore());
    first.setUserExclusions({"/x"});
    second.declineDrive("UUID-2");
    first.setShowPaths(false);
    queues.drainAll();
    second.setResultLimit(50);
    queues.drainAll();

    auto written = json::parse(readFile(file));
    EXPECT_EQ(written, (json{{"app.ulmaro.lastScanTotal", 123},
                             {"app.ulmaro.userExclusions", {"/x"}},
                             {"app.ulmaro.declinedDriveUUIDs", {"UUID-2"}},
                             {"app.ulmaro.showPaths", false},
                             {"app.ulmaro.resultLimit", 50}}));
    Preferences fresh(openStore());
    EXPECT_EQ(fresh.userExclusions(), Strings{"/x"});
    EXPECT_EQ(fresh.declinedDriveUUIDs(), Strings{"UUID-2"});
}

TEST_F(PreferencesFileTest, AFifoAtThePathDoesNotHangStartUp) {
    std::filesystem::create_directories(file.parent_path());
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    testing::internal::CaptureStderr();
    Preferences prefs(openStore());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not a regular file"), std::string::npos);
    EXPECT_EQ(prefs.hotKey(), KeyCombo::optionSpace);
    EXPECT_TRUE(prefs.searchThisMac());
}

} // namespace
} // namespace ulmaro
