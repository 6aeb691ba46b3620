#include "AppCoordinatorFixture.h"
#include "UlmaroAppKit/Fakes/ManualKeyPressSource.h"
#include "UlmaroAppKit/Fakes/ScriptedFileChooser.h"
#include "UlmaroAppKit/Settings/FirstRunStore.h"
#include "UlmaroAppKit/Settings/SettingsForm.h"
#include "support/DebianHomeMachine.h"

namespace ulmaro::test {
namespace {

using Keys = AppCoordinator::Keys;
using Opened = std::pair<std::optional<std::string>, std::optional<std::string>>;

MountedVolume drive(std::string uuid, std::string mountPath, bool backup = false) {
    MountedVolume v = volume(std::move(uuid), std::move(mountPath));
    v.isTimeMachineDestination = backup;
    return v;
}

TEST(AppCoordinatorOnboarding, TheExpectedTotalIsTheLastScansElseAnEstimate) {
    struct Case {
        const char* name;
        std::optional<std::int64_t> stored;
        std::optional<std::int64_t> inodes;
        std::optional<std::int64_t> expectTotal;
        bool expectEstimate;
    } cases[] = {
        {"no scan yet", std::nullopt, 812345, 812345, true},
        {"a scan", 5000, 812345, 5000, false},
        {"an empty scan", 0, 812345, 812345, true},
        {"nothing to estimate from", std::nullopt, std::nullopt, std::nullopt, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppFixture fixture;
        fixture.usedInodes = c.inodes;
        if (c.stored) fixture.settings->setInt(IndexCoordinator::Keys::lastScanTotal, *c.stored);
        fixture.settings->setInt(IndexCoordinator::Keys::lastScanDenied, 3);
        fixture.settings->setStringList(IndexCoordinator::Keys::lastScanDeniedPaths,
                                        {"/root", "/lost+found", "/var/spool"});
        auto app = fixture.make();
        app->setupOnboarding(false, std::nullopt);
        const auto& onboarding = app->onboardingViewModel();
        EXPECT_EQ(onboarding.expectedTotal.get(), c.expectTotal);
        EXPECT_EQ(onboarding.expectedTotalIsEstimate.get(), c.expectEstimate);
        EXPECT_EQ(onboarding.deniedDirectories.get(), 3);
        EXPECT_EQ(app->overlayViewModel().indexGapFolders.get(), 3);
        EXPECT_EQ(app->overlayViewModel().indexGapPaths.get().size(), 3u);
        EXPECT_FALSE(onboarding.hotkeyRegistered());
        EXPECT_EQ(onboarding.hotKeyDisplay(), "Alt+Space");
    }
}

TEST(AppCoordinatorOnboarding, AnIndexAlreadyReadySeedsTheCountAndSuggestionsOfAShowingFlow) {
    for (const bool completed : {false, true}) {
        SCOPED_TRACE(completed ? "onboarding done: no flow shows" : "onboarding pending");
        AppFixture fixture;
        fixture.home = "/home/me";
        fixture.options.startIndexingImmediately = true;
        if (completed) fixture.completeOnboarding();
        IndexBuilder builder;
        std::uint32_t at =
            builder.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
        for (const char* folder : {"home", "me", "Documents"})
            at = builder.addEntry(folder, at, RecordFlags::isDirectory, 0);
        builder.setAttributes(builder.addEntry("report.pdf", at, RecordFlags{}, 0), 2048,
                              1700000000);
        std::filesystem::create_directories(fixture.options.indexPath.parent_path());
        IndexWriter::write(builder, std::vector<VolumeEntry>{{"ROOT", "/", 0, true}},
                           fixture.options.indexPath);

        auto app = fixture.make();
        ASSERT_TRUE(
            std::holds_alternative<IndexCoordinator::Ready>(app->indexCoordinator().state()));
        app->setupOnboarding(true, std::nullopt);
        const auto& onboarding = app->onboardingViewModel();
        EXPECT_EQ(onboarding.step.get().has_value(), !completed);
        EXPECT_EQ(onboarding.indexComplete.get(), !completed);
        if (completed) {
            EXPECT_TRUE(onboarding.suggestions.get().empty()) << "no pass over the records";
            continue;
        }
        EXPECT_EQ(onboarding.finalCount.get(), 5);
        ASSERT_EQ(onboarding.suggestions.get().size(), 1u);
        EXPECT_EQ(onboarding.suggestions.get()[0].name, "report.pdf");
    }
}

TEST(AppCoordinatorOnboarding, TheLaunchShowsThePanelOnlyWhenItShould) {
    struct Case {
        const char* name;
        bool primary;
        bool onboardingCompleted;
        bool firstRunCompleted;
        std::vector<std::string> arguments;
        bool expectShown;
    } cases[] = {
        {"secondary", false, false, false, {}, false},
        {"first run", true, true, false, {}, true},
        {"onboarding pending", true, false, true, {}, true},
        {"settled", true, true, true, {}, false},
        {"settled, just installed", true, true, true, {"ulmaro", "--just-installed"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppFixture fixture;
        fixture.primary = c.primary;
        if (c.onboardingCompleted) fixture.completeOnboarding();
        if (c.firstRunCompleted) FirstRunStore::markFirstRunCompleted(*fixture.settings);
        auto app = fixture.make();
        const OnboardingViewModel* placeholder = &app->onboardingViewModel();
        app->setupOnboarding(true, std::nullopt);
        // A secondary copy builds no flow.
        EXPECT_EQ(&app->onboardingViewModel() == placeholder, !c.primary);
        app->presentFirstRunAutomatically(c.arguments);
        EXPECT_EQ(fixture.panel->visible, c.expectShown);
    }
}

TEST(AppCoordinatorOnboarding, ChoosingCatalogsOnlyEndsTheFirstRunWithoutThisComputer) {
    AppFixture fixture;
    auto app = fixture.make();
    app->onOpenCatalog = [&](const std::optional<std::string>& id,
                             const std::optional<std::string>& path) {
        fixture.effects.push_back(id || path ? "catalog window at something" : "catalog window");
    };
    app->setupOnboarding(true, std::nullopt);
    ASSERT_TRUE(app->isFirstRun());

    app->onboardingViewModel().chooseCatalogOnly();
    EXPECT_TRUE(FirstRunStore::hasCompletedFirstRun(*fixture.settings));
    EXPECT_TRUE(app->firstRunEndedWithoutTheMac());
    EXPECT_FALSE(app->overlayViewModel().isFirstRun.get());
    EXPECT_FALSE(fixture.preferences->searchThisMac());
    EXPECT_FALSE(app->indexingStarted());
    // Applied (the menu shows catalogs only), then the catalog window opens with nothing
    // selected.
    const auto& effects = fixture.effects;
    ASSERT_GE(effects.size(), 2u);
    EXPECT_EQ(effects[effects.size() - 2], "menu");
    EXPECT_EQ(effects.back(), "catalog window");
    EXPECT_TRUE(
        std::holds_alternative<MenuBarViewModel::CatalogOnly>(app->menuBarViewModel().indexState));
}

TEST(AppCoordinatorOnboarding, FinishingOffersTheQualifyingDrivesButNeverTheStartupVolume) {
    AppFixture fixture;
    fixture.catalogs->volumes = {volume("ROOT", "/"), volume("USB", "/media/me/USB"),
                                 volume("CARD", "/media/me/CARD")};
    auto app = fixture.make();
    app->setupOnboarding(true, std::nullopt);
    app->onboardingViewModel().skip();

    EXPECT_EQ(fixture.login->registrations, 1);
    ASSERT_TRUE(app->promptQueue().current().has_value());
    EXPECT_EQ(app->promptQueue().current()->uuid, "USB");
    ASSERT_EQ(app->promptQueue().waiting().size(), 1u);
    EXPECT_EQ(app->promptQueue().waiting().front().uuid, "CARD");
}

// The drive step lists what the drive prompt would offer: on a Debian machine with /home on
// a partition of its own and a second internal disk, only the USB stick.
TEST(AppCoordinatorOnboarding, TheDriveStepListsOnlyDrivesOfTheirOwn) {
    const DebianHomeMachine machine;
    AppFixture fixture;
    fixture.external = VolumeEnumerator::externalVolumes(machine.sources());
    ASSERT_EQ(fixture.external.size(), 3u);
    auto app = fixture.make();
    app->setupOnboarding(true, true);
    const auto drives = app->onboardingViewModel().externalDrives();
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_EQ(drives[0].mountPath, "/media/ann/STICK");
}

TEST(AppCoordinatorOnboarding, DiskImagesAreNotListedAndTheDriveStepsAnswerIsApplied) {
    AppFixture fixture;
    fixture.external = {drive("USB", "/media/me/USB"), drive("ISO", "/media/me/Installer"),
                        drive("BACKUP", "/media/me/Backup", true), drive("CARD", "/media/me/CARD")};
    fixture.loopBacked = {"/media/me/Installer"};
    fixture.preferences->declineDrive("USB");
    auto app = fixture.make();
    app->setupOnboarding(true, true);
    auto& onboarding = app->onboardingViewModel();
    EXPECT_EQ(onboarding.externalDrives(),
              (std::vector<MountedVolume>{fixture.external[0], fixture.external[2],
                                          fixture.external[3]}));

    onboarding.advanceFromWelcome();
    ASSERT_EQ(onboarding.step.get(), OnboardingStep::externalDrives);
    onboarding.toggleDrive("CARD");
    onboarding.advanceFromExternalDrives();
    // Ticked drives are catalogued the way the prompt's "Catalog" does; the backup disk
    // starts unticked and, with the one unticked by hand, is declined.
    EXPECT_EQ(fixture.catalogs->catalogued, (std::vector<MountedVolume>{fixture.external[0]}));
    EXPECT_EQ(fixture.preferences->declinedDriveUUIDs(),
              (std::vector<std::string>{"BACKUP", "CARD", "USB"}));
}

TEST(AppCoordinatorOnboarding, AnOpenSettingsWindowHearsOfFoldersAddedInTheFlow) {
    AppFixture fixture;
    auto app = fixture.make();
    app->setupOnboarding(true, std::nullopt);
    // The Settings window over the application's Preferences, as the application makes it.
    SettingsForm form({.controller = SettingsWindowController::create(fixture.preferences, {}, {}),
                       .chooser = std::make_shared<ScriptedFileChooser>(),
                       .keyPresses = std::make_shared<ManualKeyPressSource>(),
                       .home = "/home/me",
                       .detectCloudFolders = {}});
    // The window reloads its lists on every change notice of the settings.
    int notices = 0;
    Subscription reloading = fixture.preferences->changed.subscribe([&] {
        ++notices;
        form.reloadLists();
    });

    auto& flow = app->onboardingViewModel();
    EXPECT_EQ(&flow.preferences(), fixture.preferences.get()) << "one Preferences";
    flow.preferences().addContentFolder("/home/me/Notes");
    EXPECT_EQ(notices, 1);
    EXPECT_NE(
        std::find(form.contentFolders().begin(), form.contentFolders().end(), "/home/me/Notes"),
        form.contentFolders().end());
}

} // namespace
} // namespace ulmaro::test
