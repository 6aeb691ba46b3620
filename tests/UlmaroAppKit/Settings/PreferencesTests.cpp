#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Settings/FirstRunStore.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Settings/XdgUserDirs.h"
#include "support/TempDir.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace ulmaro {
namespace {

using json = nlohmann::json;
using Strings = std::vector<std::string>;

MountedVolume volume(std::string uuid, bool timeMachine) {
    MountedVolume v;
    v.mountPath = "/media/" + uuid;
    v.uuid = std::move(uuid);
    v.isTimeMachineDestination = timeMachine;
    return v;
}

// Over an empty store, with a home folder and no user-dirs.dirs.
class PreferencesTest : public ::testing::Test {
protected:
    test::TempDir config;
    test::ScopedEnv home{"HOME", "/home/tester"};
    test::ScopedEnv xdg{"XDG_CONFIG_HOME", config.path().string()};
    std::shared_ptr<InMemorySettingsStore> store = std::make_shared<InMemorySettingsStore>();
    Preferences prefs{store};
    int notified = 0;
    Subscription counting = prefs.changed.subscribe([this] { ++notified; });

    const Strings homeFolders{"/home/tester/Documents", "/home/tester/Desktop",
                              "/home/tester/Downloads"};
};

TEST_F(PreferencesTest, AnEmptyStoreReadsEveryDefault) {
    EXPECT_EQ(prefs.userExclusions(), Strings{});
    EXPECT_TRUE(prefs.searchThisMac());
    EXPECT_EQ(prefs.hotKey(), KeyCombo::optionSpace);
    EXPECT_FALSE(prefs.hasChosenContentFolders());
    EXPECT_EQ(prefs.contentIndexFolders(), homeFolders);
    EXPECT_EQ(prefs.declinedDriveUUIDs(), Strings{});
    EXPECT_EQ(prefs.skippedVolumeUUIDs(), Strings{});
    EXPECT_EQ(prefs.indexedTimeMachineUUIDs(), Strings{});
    EXPECT_FALSE(prefs.catalogMigrationDone());
    EXPECT_EQ(prefs.resultLimit(), 200);
    EXPECT_FALSE(prefs.indexSystemFolders());
    EXPECT_FALSE(prefs.hasChosenSystemFolders());
    EXPECT_TRUE(prefs.showPaths());
    EXPECT_EQ(store->size(), 0u);
    EXPECT_EQ(notified, 0);
}

TEST_F(PreferencesTest, PathListsAreTrimmedDedupedAndSortedByTheirComposedForm) {
    const std::string cafeComposed = "/Caf\xc3\xa9";    // é as one code point
    const std::string cafeDecomposed = "/Cafe\xcc\x81"; // e + combining acute
    struct Case {
        Strings written;
        Strings stored;
    } cases[] = {
        {{"/Users/x/", "/", "", "/Users/x", "/a//"}, {"/", "/Users/x", "/a/"}},
        // Canonically equal spellings are one entry; the first one seen is kept.
        {{cafeDecomposed, cafeComposed + "/"}, {cafeDecomposed}},
        // By code point of the composed form é (U+00E9) sorts after f, though its
        // decomposed bytes sort before.
        {{cafeDecomposed, "/Caff"}, {"/Caff", cafeDecomposed}},
        // Names that are not UTF-8 cannot be kept in the settings file.
        {{"/b", std::string("/bad\xff", 5), "/a"}, {"/a", "/b"}},
        {{}, {}},
    };
    for (const auto& c : cases) {
        prefs.setUserExclusions(c.written);
        EXPECT_EQ(store->stringListValue("app.ulmaro.userExclusions"), c.stored);
        prefs.setContentIndexFolders(c.written);
        EXPECT_EQ(prefs.contentIndexFolders(), c.stored);
    }
}

TEST_F(PreferencesTest, UUIDListsLoseOnlyDuplicates) {
    prefs.setDeclinedDriveUUIDs({"b", "x/", "", "a", "b", ""});
    EXPECT_EQ(prefs.declinedDriveUUIDs(), (Strings{"", "a", "b", "x/"}));
    prefs.setSkippedVolumeUUIDs({"2", "1", "2"});
    EXPECT_EQ(prefs.skippedVolumeUUIDs(), (Strings{"1", "2"}));
    prefs.setIndexedTimeMachineUUIDs({"z", "y"});
    EXPECT_EQ(prefs.indexedTimeMachineUUIDs(), (Strings{"y", "z"}));
}

TEST_F(PreferencesTest, ContentFoldersFallBackOnlyWhenNothingIsStored) {
    struct Case {
        std::optional<json> stored;
        std::optional<bool> chosen;
        Strings reads;
    } cases[] = {
        {json::array(), std::nullopt, {}},
        {json::array(), false, {}},
        {std::nullopt, std::nullopt, homeFolders},
        {std::nullopt, true, {}},
        {json("/home/tester/Documents"), std::nullopt, homeFolders}, // not a list
        {json::array({"/x", 3}), true, {}},                          // not all strings
        {json::array({"/z", "/y"}), true, {"/z", "/y"}},             // as stored
    };
    for (const auto& c : cases) {
        auto fresh = std::make_shared<InMemorySettingsStore>();
        if (c.stored) fresh->setValue("app.ulmaro.contentIndexFolders", *c.stored);
        if (c.chosen) fresh->setBool("app.ulmaro.hasChosenContentFolders", *c.chosen);
        EXPECT_EQ(Preferences(fresh).contentIndexFolders(), c.reads);
    }
}

TEST_F(PreferencesTest, ConfirmingContentFoldersStoresTheDefaultsAndMarksThemChosen) {
    prefs.confirmContentFolders();
    EXPECT_EQ(
        store->stringListValue("app.ulmaro.contentIndexFolders"),
        (Strings{"/home/tester/Desktop", "/home/tester/Documents", "/home/tester/Downloads"}));
    EXPECT_TRUE(prefs.hasChosenContentFolders());
}

TEST_F(PreferencesTest, AddingAndRemovingContentFoldersStartsFromTheFoldersInEffect) {
    prefs.addContentFolder("/srv/notes/");
    EXPECT_EQ(prefs.contentIndexFolders(),
              (Strings{"/home/tester/Desktop", "/home/tester/Documents", "/home/tester/Downloads",
                       "/srv/notes"}));
    EXPECT_FALSE(prefs.hasChosenContentFolders());

    // The flag is set before the list is written, so an observer of the list sees it.
    std::vector<bool> chosenWhenNotified;
    auto watching = prefs.changed.subscribe(
        [&] { chosenWhenNotified.push_back(prefs.hasChosenContentFolders()); });
    prefs.removeContentFolder("/home/tester/Desktop");
    EXPECT_EQ(chosenWhenNotified, (std::vector<bool>{true, true}));
    EXPECT_EQ(prefs.contentIndexFolders(),
              (Strings{"/home/tester/Documents", "/home/tester/Downloads", "/srv/notes"}));

    // Removing every folder leaves a stored empty list, not the defaults.
    for (const auto& folder : prefs.contentIndexFolders())
        prefs.removeContentFolder(folder);
    EXPECT_EQ(prefs.contentIndexFolders(), Strings{});
}

TEST_F(PreferencesTest, ExclusionsAreAddedNormalisedAndRemovedOnlyWhenExactlyEqual) {
    prefs.addExclusion("/Users/x");
    prefs.addExclusion("/Users/x/");
    EXPECT_EQ(prefs.userExclusions(), Strings{"/Users/x"});
    prefs.removeExclusion("/Users/x/");
    EXPECT_EQ(prefs.userExclusions(), Strings{"/Users/x"});
    prefs.removeExclusion("/Users/x");
    EXPECT_EQ(prefs.userExclusions(), Strings{});
}

TEST_F(PreferencesTest, DecliningTwiceKeepsOneEntryAndUndecliningAlwaysWrites) {
    prefs.declineDrive("UUID-1");
    prefs.declineDrive("UUID-1");
    EXPECT_EQ(prefs.declinedDriveUUIDs(), Strings{"UUID-1"});

    auto empty = std::make_shared<InMemorySettingsStore>();
    Preferences other(empty);
    int otherNotified = 0;
    auto sub = other.changed.subscribe([&] { ++otherNotified; });
    other.undeclineDrive("UUID-2");
    EXPECT_EQ(empty->value("app.ulmaro.declinedDriveUUIDs"), json::array());
    EXPECT_EQ(otherNotified, 1);

    prefs.undeclineDrive("UUID-2");
    EXPECT_EQ(prefs.declinedDriveUUIDs(), Strings{"UUID-1"});
    prefs.undeclineDrive("UUID-1");
    EXPECT_EQ(prefs.declinedDriveUUIDs(), Strings{});
}

TEST_F(PreferencesTest, ResultLimitIsClampedBothWays) {
    struct Case {
        std::optional<json> stored;
        std::int64_t reads;
    } reads[] = {
        {std::nullopt, 200},
        {0, 200},
        {-5, 200},
        {5, 10},
        {5000, 1000},
        {500, 500},
        {std::numeric_limits<std::int64_t>::max(), 1000},
        {std::numeric_limits<std::int64_t>::min(), 200},
        {std::numeric_limits<std::uint64_t>::max(), 200}, // beyond int64: not an integer here
        {2.5, 200},
        {1e300, 200},
        {"300", 200},
        {true, 200},
    };
    for (const auto& c : reads) {
        if (c.stored)
            store->setValue("app.ulmaro.resultLimit", *c.stored);
        else
            store->remove("app.ulmaro.resultLimit");
        EXPECT_EQ(prefs.resultLimit(), c.reads) << (c.stored ? c.stored->dump() : "absent");
    }
    const std::pair<std::int64_t, std::int64_t> writes[] = {
        {0, 10},
        {-5, 10},
        {2000, 1000},
        {250, 250},
        {std::numeric_limits<std::int64_t>::min(), 10}};
    for (auto [written, stored] : writes) {
        prefs.setResultLimit(written);
        EXPECT_EQ(store->intValue("app.ulmaro.resultLimit"), stored) << written;
    }
}

TEST_F(PreferencesTest, HotKeyReadsTheStoredPairOnlyWhenItMakesSense) {
    const json absent; // null stands for "nothing stored" in this table
    const json huge = std::uint64_t{1} << 32;
    struct Case {
        json code, modifiers;
        KeyCombo reads;
    } cases[] = {
        {0, 256, {0, 256}}, // a stored 0 is the A key
        {absent, 256, KeyCombo::optionSpace},
        {12, 0, KeyCombo::optionSpace},
        {12, absent, KeyCombo::optionSpace},
        {12, 256, {12, 256}},
        {12, 256 + 1024, {12, 256 + 1024}}, // bits beyond the four are ignored
        // What could never be the shortcut (an older version stored it, or a hand edit) would
        // take a key from every application: the default.
        {12, 1024, KeyCombo::optionSpace},
        {4294967295u, 4294967295u, KeyCombo::optionSpace},
        {1, 512, KeyCombo::optionSpace},    // Shift+S
        {8, 4096, KeyCombo::optionSpace},   // Ctrl+C
        {118, 2048, KeyCombo::optionSpace}, // Alt+F4
        // Out of 0…2^32−1, or not an integer: the default.
        {huge, 256, KeyCombo::optionSpace},
        {12, huge, KeyCombo::optionSpace},
        {-1, 256, KeyCombo::optionSpace},
        {12, -2048, KeyCombo::optionSpace},
        {"12", 256, KeyCombo::optionSpace},
        {12, 2048.0, KeyCombo::optionSpace},
        {std::numeric_limits<std::uint64_t>::max(), 256, KeyCombo::optionSpace},
        {1e300, 256, KeyCombo::optionSpace},
    };
    for (const auto& c : cases) {
        auto fresh = std::make_shared<InMemorySettingsStore>();
        if (!c.code.is_null()) fresh->setValue("app.ulmaro.hotKeyCode", c.code);
        if (!c.modifiers.is_null()) fresh->setValue("app.ulmaro.hotKeyModifiers", c.modifiers);
        EXPECT_EQ(Preferences(fresh).hotKey(), c.reads) << c.code << " " << c.modifiers;
    }

    prefs.setHotKey({40, 4096});
    EXPECT_EQ(store->intValue("app.ulmaro.hotKeyCode"), 40);
    EXPECT_EQ(store->intValue("app.ulmaro.hotKeyModifiers"), 4096);
    EXPECT_EQ(prefs.hotKey(), (KeyCombo{40, 4096}));
    EXPECT_EQ(notified, 1);
}

TEST_F(PreferencesTest, BooleansCountOnlyAStoredBoolean) {
    // Defaulting on: anything but a stored Boolean reads as on.
    for (const json& stored : {json("no"), json(0), json(nullptr), json::array()}) {
        store->setValue("app.ulmaro.searchThisMac", stored);
        store->setValue("app.ulmaro.showPaths", stored);
        EXPECT_TRUE(prefs.searchThisMac()) << stored;
        EXPECT_TRUE(prefs.showPaths()) << stored;
    }
    prefs.setSearchThisMac(false);
    prefs.setShowPaths(false);
    EXPECT_FALSE(prefs.searchThisMac());
    EXPECT_FALSE(prefs.showPaths());

    // Defaulting off: only a stored true is on.
    store->setValue("app.ulmaro.hasChosenContentFolders", "yes");
    store->setValue("app.ulmaro.catalogMigrationDone", 1);
    store->setValue("app.ulmaro.indexSystemFolders", "true");
    EXPECT_FALSE(prefs.hasChosenContentFolders());
    EXPECT_FALSE(prefs.catalogMigrationDone());
    EXPECT_FALSE(prefs.indexSystemFolders());
    // Yet the system-folders choice counts as made whatever the stored type.
    EXPECT_TRUE(prefs.hasChosenSystemFolders());
    prefs.setIndexSystemFolders(false);
    EXPECT_TRUE(prefs.hasChosenSystemFolders());
    prefs.setIndexSystemFolders(true);
    EXPECT_TRUE(prefs.indexSystemFolders());
}

TEST_F(PreferencesTest, EachWriteNotifiesOnceAfterStoringExceptTheTwoQuietFlags) {
    const MountedVolume drive = volume("D", false);
    struct Case {
        const char* name;
        std::function<void()> operation;
        int notifications;
    } cases[] = {
        {"userExclusions", [&] { prefs.setUserExclusions({"/a"}); }, 1},
        {"searchThisMac", [&] { prefs.setSearchThisMac(false); }, 1},
        {"hotKey",
         [&] {
             prefs.setHotKey({0, 256});
         },
         1},
        {"hasChosenContentFolders", [&] { prefs.setHasChosenContentFolders(true); }, 1},
        {"contentIndexFolders", [&] { prefs.setContentIndexFolders({"/d"}); }, 1},
        {"declinedDriveUUIDs", [&] { prefs.setDeclinedDriveUUIDs({"u"}); }, 1},
        {"skippedVolumeUUIDs", [&] { prefs.setSkippedVolumeUUIDs({"u"}); }, 1},
        {"indexedTimeMachineUUIDs", [&] { prefs.setIndexedTimeMachineUUIDs({"u"}); }, 1},
        {"resultLimit", [&] { prefs.setResultLimit(20); }, 1},
        {"showPaths", [&] { prefs.setShowPaths(false); }, 1},
        {"catalogMigrationDone", [&] { prefs.setCatalogMigrationDone(true); }, 0},
        {"indexSystemFolders", [&] { prefs.setIndexSystemFolders(true); }, 0},
        {"addExclusion", [&] { prefs.addExclusion("/b"); }, 1},
        {"removeExclusion", [&] { prefs.removeExclusion("/nowhere"); }, 1},
        {"addContentFolder", [&] { prefs.addContentFolder("/e"); }, 1},
        {"removeContentFolder", [&] { prefs.removeContentFolder("/e"); }, 2},
        {"confirmContentFolders", [&] { prefs.confirmContentFolders(); }, 2},
        {"declineDrive", [&] { prefs.declineDrive("v"); }, 1},
        {"undeclineDrive", [&] { prefs.undeclineDrive("w"); }, 1},
        {"setIndexing", [&] { prefs.setIndexing(drive, false); }, 1},
    };
    for (const auto& c : cases) {
        notified = 0;
        c.operation();
        EXPECT_EQ(notified, c.notifications) << c.name;
    }

    // A handler that reads sees the value just written.
    std::optional<KeyCombo> seen;
    auto reading = prefs.changed.subscribe([&] { seen = prefs.hotKey(); });
    prefs.setHotKey({40, 2048});
    EXPECT_EQ(seen, (KeyCombo{40, 2048}));

    // Another object over the same store agrees on values but notifies only its own writes.
    Preferences other(store);
    notified = 0;
    other.setShowPaths(true);
    EXPECT_EQ(notified, 0);
    EXPECT_TRUE(prefs.showPaths());
}

TEST_F(PreferencesTest, VolumeChoicesFollowTheTimeMachineRule) {
    const MountedVolume plain = volume("P", false);
    const MountedVolume backup = volume("T", true);
    EXPECT_TRUE(prefs.shouldIndex(plain));
    EXPECT_FALSE(prefs.shouldIndex(backup));

    prefs.setIndexing(plain, false);
    prefs.setIndexing(plain, false);
    prefs.setIndexing(backup, true);
    EXPECT_FALSE(prefs.shouldIndex(plain));
    EXPECT_TRUE(prefs.shouldIndex(backup));
    EXPECT_EQ(prefs.skippedVolumeUUIDs(), Strings{"P"});
    EXPECT_EQ(prefs.indexedTimeMachineUUIDs(), Strings{"T"});

    // The other list does not matter to either kind.
    prefs.setIndexedTimeMachineUUIDs({"P", "T"});
    prefs.setSkippedVolumeUUIDs({"T"});
    EXPECT_TRUE(prefs.shouldIndex(plain));
    EXPECT_TRUE(prefs.shouldIndex(backup));

    prefs.setIndexing(plain, true);
    prefs.setIndexing(backup, false);
    EXPECT_TRUE(prefs.shouldIndex(plain));
    EXPECT_FALSE(prefs.shouldIndex(backup));
    EXPECT_EQ(prefs.indexedTimeMachineUUIDs(), Strings{"P"});
}

TEST_F(PreferencesTest, ScanPolicyAddsTheUserExclusions) {
    const ScanPolicy base({"/proc", "/sys"});
    EXPECT_EQ(prefs.scanPolicy(base).excluded, base.excluded);
    prefs.setUserExclusions({"/srv/big/", "/proc"});
    EXPECT_EQ(prefs.scanPolicy(base).excluded, (ScanPolicy::PathSet{"/proc", "/srv/big", "/sys"}));
}

TEST_F(PreferencesTest, DefaultContentFoldersFollowUserDirsWhenTheyNameThem) {
    // Documents moved, the desktop not set up (the home folder itself), downloads absolute.
    std::ofstream(config / "user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                "XDG_DESKTOP_DIR=\"$HOME/\"\n"
                                                "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n"
                                                "XDG_DOWNLOAD_DIR=\"/data/in coming\"\n";
    EXPECT_EQ(Preferences::defaultContentFolders(),
              (Strings{"/home/tester/Papers", "/home/tester/Desktop", "/data/in coming"}));
    EXPECT_EQ(prefs.contentIndexFolders(), Preferences::defaultContentFolders());
}

TEST(XdgUserDirs, ReadsOnlyTheFormsTheFormatAllows) {
    const std::string home = "/home/t";
    struct Case {
        std::string text;
        std::optional<std::string> documents;
    } cases[] = {
        {"XDG_DOCUMENTS_DIR=\"$HOME/Docs\"", "/home/t/Docs"},
        {"  XDG_DOCUMENTS_DIR = \"$HOME/My\\\"Docs\\\\\"", "/home/t/My\"Docs\\"},
        {"XDG_DOCUMENTS_DIR=\"/abs/docs\"\n", "/abs/docs"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/a\"\nXDG_DOCUMENTS_DIR=\"$HOME/b\"", "/home/t/b"},
        {"XDG_DOCUMENTS_DIR=\"$HOME\"", std::nullopt},
        {"XDG_DOCUMENTS_DIR=\"relative/docs\"", std::nullopt},
        {"XDG_DOCUMENTS_DIR=\"$HOMEDIR/x\"", std::nullopt},
        {"XDG_DOCUMENTS_DIR=\"$HOME/unterminated", std::nullopt},
        {"# XDG_DOCUMENTS_DIR=\"$HOME/commented\"", std::nullopt},
        {"XDG_DOCUMENTS_DIRS=\"$HOME/other\"", std::nullopt},
        {"XDG_DESKTOP_DIR=\"$HOME/Desk\"", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(XdgUserDirs::find(c.text, "DOCUMENTS", home), c.documents) << c.text;
}

TEST(FirstRunStore, CountsOnlyAStoredTrue) {
    InMemorySettingsStore store;
    EXPECT_FALSE(FirstRunStore::hasCompletedFirstRun(store));
    store.setString("app.ulmaro.firstRunCompleted", "true");
    EXPECT_FALSE(FirstRunStore::hasCompletedFirstRun(store));
    FirstRunStore::markFirstRunCompleted(store);
    EXPECT_TRUE(FirstRunStore::hasCompletedFirstRun(store));
    EXPECT_EQ(store.boolValue("app.ulmaro.firstRunCompleted"), true);
}

} // namespace
} // namespace ulmaro
