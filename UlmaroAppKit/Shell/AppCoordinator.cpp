#include "UlmaroAppKit/Shell/AppCoordinator.h"

#include "UlmaroAppKit/Catalogs/CatalogCoordinating.h"
#include "UlmaroAppKit/Catalogs/CatalogLibrary.h"
#include "UlmaroAppKit/Catalogs/CatalogMigration.h"
#include "UlmaroAppKit/Catalogs/CatalogPromptQueue.h"
#include "UlmaroAppKit/Catalogs/VolumeEvents.h"
#include "UlmaroAppKit/Indexing/ContentIndexHolder.h"
#include "UlmaroAppKit/Indexing/FullDiskAccess.h"
#include "UlmaroAppKit/MenuBar/MenuBarController.h"
#include "UlmaroAppKit/Onboarding/OnboardingStore.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/Panel/DispatchSettleScheduler.h"
#include "UlmaroAppKit/Panel/OverlayPanelController.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Panel/RecentsStore.h"
#include "UlmaroAppKit/Panel/SavedSearchStore.h"
#include "UlmaroAppKit/Panel/SettingsPanelPositionStore.h"
#include "UlmaroAppKit/Platform/SerialQueue.h"
#include "UlmaroAppKit/Search/FrecencyStore.h"
#include "UlmaroAppKit/Search/TrigramIndexHolder.h"
#include "UlmaroAppKit/Settings/FirstRunStore.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Shell/ContentIndexUpkeep.h"
#include "UlmaroAppKit/Shell/HotKey.h"
#include "UlmaroAppKit/Shell/SummonChannel.h"
#include "UlmaroAppKit/Shell/WorkspaceOpener.h"
#include "UlmaroKit/Index/IndexStore.h"

#include <system_error>

namespace ulmaro {

std::shared_ptr<AppCoordinator> AppCoordinator::create(AppEnvironment environment,
                                                       Options options) {
    auto coordinator =
        std::make_shared<AppCoordinator>(Passkey{}, std::move(environment), std::move(options));
    coordinator->construct();
    return coordinator;
}

AppCoordinator::AppCoordinator(Passkey, AppEnvironment environment, Options options)
    : env_(std::move(environment)), options_(std::move(options)),
      loginItem_(env_.loginItemProvider) {}

AppCoordinator::~AppCoordinator() = default;

void AppCoordinator::construct() {
    makeStores();
    makePanel();
    makeIndexCoordinator();
    makeCatalogs();
    makeContentUpkeep();
    trigramHolder_ =
        std::make_shared<TrigramIndexHolder>(TrigramIndexHolder::defaultCacheURL(indexPath_));
    isPrimaryInstance_ = env_.acquireInstanceLock ? env_.acquireInstanceLock() : true;
    // The saved shortcut until a registration says otherwise.
    hotKeyStatus.set(hotKeyStatusOf(HotKeyStatus::State::registered, preferences_->hotKey()));
    makeMenuBar();
    installMenuSlots();
    installBothCallbacks();
    if (isPrimaryInstance_)
        continueAsPrimary();
    else
        continueAsSecondary();
}

void AppCoordinator::makeStores() {
    // Until the real flow is set up: startCatalogs runs first and asks whether onboarding
    // shows, so the placeholder reads the completion flag too.
    onboardingViewModel_ = std::make_shared<OnboardingViewModel>(
        false, env_.settings, true, std::vector<MountedVolume>{}, OnboardingViewModel::Callbacks{});
    frecencyStore_ =
        std::make_shared<FrecencyStore>(env_.settings, Keys::frecency, env_.timers, env_.clock);
    savedSearchStore_ = std::make_shared<SavedSearchStore>(env_.settings, Keys::savedSearches);

    fullDiskAccessCheck_ =
        env_.fullDiskAccessGranted ? env_.fullDiskAccessGranted : FullDiskAccess::systemProbe();
    firstRunDefaults_ = env_.firstRunSettings ? env_.firstRunSettings : env_.settings;
    isFirstRun_ =
        options_.isFirstRun.value_or(!FirstRunStore::hasCompletedFirstRun(*firstRunDefaults_));

    std::error_code ignored;
    needsPostFDARescan_ =
        fullDiskAccess() &&
        !env_.settings->boolValue(Keys::lastScanUsedFullDiskAccess).value_or(false) &&
        std::filesystem::exists(options_.indexPath, ignored);
}

void AppCoordinator::makePanel() {
    panelController_ = std::make_unique<OverlayPanelController>(
        env_.panel, env_.frontmostTracker,
        std::make_shared<SettingsPanelPositionStore>(*env_.settings), *env_.mainQueue);
    recentsStore_ = options_.recentsStore
                        ? options_.recentsStore
                        : std::make_shared<RecentsStore>(env_.settings, Keys::recentSearches,
                                                         Keys::recentFiles);
    auto opener = env_.opener;
    overlayViewModel_ = OverlayViewModel::create(
        nullptr, [opener](const std::string& path) { opener->open(path); }, isFirstRun_,
        recentsStore_, std::make_shared<DispatchSettleScheduler>(env_.timers), settleDelay,
        env_.actions, env_.mainQueue, env_.clock);
}

ScanPolicy AppCoordinator::scanPolicy(bool fullDiskAccess, const std::filesystem::path& home,
                                      const Preferences& preferences) {
    return preferences.scanPolicy(fullDiskAccess ? ScanPolicy::fullDisk(home.string(), true)
                                                 : ScanPolicy::excludingTCCProtectedPaths(home));
}

void AppCoordinator::makeIndexCoordinator() {
    indexCoordinator_ = options_.indexCoordinator;
    if (!indexCoordinator_) {
        // Asked anew for every scan: access granted or revoked, and folders excluded in
        // Settings, take effect at the next scan.
        auto policy = [access = fullDiskAccessCheck_, home = env_.homeDirectory,
                       preferences = env_.preferences] {
            return scanPolicy(access(), home, *preferences);
        };
        indexCoordinator_ = std::make_shared<IndexCoordinator>(
            options_.indexPath, [root = options_.scanRoot] { return root; }, std::move(policy),
            staleAfter,
            IndexCoordinator::Dependencies{
                *env_.mainQueue,
                *env_.clock,
                *env_.timers,
                *env_.settings,
                *env_.queues,
                env_.queues->makeQueue("app.ulmaro.live-delta", QueueQuality::utility),
                {},
                {},
                env_.indexWatchers,
                env_.writeError});
    }
    if (env_.setProbesVolumeRoots) env_.setProbesVolumeRoots(fullDiskAccess());
    if (env_.warmVolumeProbes) env_.queues->globalUtility()->async(env_.warmVolumeProbes);
}

void AppCoordinator::makeCatalogs() {
    // The one list of volumes: a leaving drive is still in it while its will-unmount runs.
    volumeEvents_ = env_.makeVolumeEvents(*env_.mainQueue);
    mountedVolumes_ = [events = volumeEvents_.get()] { return events->volumes(); };
    catalogLibrary_ = std::make_shared<CatalogLibrary>(CatalogLayout::forIndex(options_.indexPath));
    preferences_ = env_.preferences;
    indexPath_ = options_.indexPath;
    catalogCoordinator_ = env_.makeCatalogCoordinator(*catalogLibrary_, preferences_,
                                                      *volumeEvents_, mountedVolumes_);

    // The prompt's answers keep the catalog side alive: an offer on screen can outlast
    // anything else that holds it.
    auto catalogs = catalogCoordinator_;
    auto preferences = preferences_;
    promptQueue_ = CatalogPromptQueue::create(
        env_.catalogPromptPresenter,
        [catalogs](const MountedVolume& volume) { catalogs->catalogDrive(volume); },
        [preferences](const MountedVolume& volume) { preferences->declineDrive(volume.uuid); },
        [catalogs](const MountedVolume& volume) { return catalogs->wantsPrompt(volume); });
}

void AppCoordinator::makeMenuBar() {
    // The item is made before the coordinator is complete: its actions forward to slots
    // that are filled once every part exists.
    using Callbacks = MenuBarMenuBuilder::Callbacks;
    const auto slots = menuSlots_;
    auto forward = [slots](auto member) {
        return [slots, member](const auto&... args) {
            if (const auto& action = (*slots).*member) action(args...);
        };
    };
    Callbacks callbacks;
    callbacks.onQuit = env_.terminate;
    callbacks.onSearch = forward(&Callbacks::onSearch);
    callbacks.onRebuild = forward(&Callbacks::onRebuild);
    callbacks.onOpenSettings = forward(&Callbacks::onOpenSettings);
    callbacks.onFixPermissions = forward(&Callbacks::onFixPermissions);
    callbacks.onSelectRecentSearch = forward(&Callbacks::onSelectRecentSearch);
    callbacks.onSelectRecentFile = forward(&Callbacks::onSelectRecentFile);
    callbacks.onClearRecents = forward(&Callbacks::onClearRecents);
    callbacks.onResetPosition = forward(&Callbacks::onResetPosition);
    callbacks.onToggleStartAtLogin = forward(&Callbacks::onToggleStartAtLogin);
    callbacks.onSearchHelp = forward(&Callbacks::onSearchHelp);
    callbacks.onOpenCatalog = forward(&Callbacks::onOpenCatalog);
    MenuBarMenuBuilder::Environment menuEnvironment;
    menuEnvironment.timers = env_.timers;
    menuEnvironment.clock = env_.clock;
    menuEnvironment.workspace = env_.workspace;
    menuEnvironment.homeFolder = env_.homeDirectory.string();
    menuBar_ = std::make_unique<MenuBarController>(env_.statusItem, std::move(menuEnvironment),
                                                   std::move(callbacks));
    showInMenuBar(MenuBarController::initialViewModel());
}

void AppCoordinator::showInMenuBar(MenuBarViewModel viewModel) {
    menuBarViewModel_ = std::move(viewModel);
    menuBar_->update(menuBarViewModel_);
}

void AppCoordinator::continueAsSecondary() {
    if (env_.summonChannel) env_.summonChannel->post();
    MenuBarViewModel viewModel = MenuBarController::initialViewModel();
    viewModel.indexState = MenuBarViewModel::Unavailable{anotherInstanceText};
    showInMenuBar(std::move(viewModel));
}

void AppCoordinator::continueAsPrimary() {
    volumeEvents_->start();
    catalogLibrary_->reloadAll();
    catalogLibrary_->updateMounted(mountedVolumes_());
    installPrimaryCallbacks();
    refreshMenuBar();

    const bool searchThisMac = preferences_->searchThisMac();
    if (!searchThisMac && OnboardingStore::hasCompleted(*firstRunDefaults_) && isFirstRun_ &&
        !firstRunEndedWithoutTheMac_)
        recordFirstRunEndedWithoutTheMac();

    if (searchThisMac) {
        if (fullDiskAccess())
            FDAPromptStore::clearAskOwed(*firstRunDefaults_);
        else if ((FDAPromptStore::isAskOwed(*firstRunDefaults_) &&
                  !FDAPromptStore::hasTappedLater(*firstRunDefaults_)) ||
                 overlayViewModel_->isFirstRun.get())
            overlayViewModel_->fdaPromptVisible.set(true);
    }

    if (options_.startIndexingImmediately.value_or(
            OnboardingStore::hasCompleted(*firstRunDefaults_)))
        startIndexingOnce();

    if (searchThisMac && !fullDiskAccess() && FDAPromptStore::hasTappedLater(*firstRunDefaults_))
        overlayViewModel_->fdaBannerVisible.set(true);

    if (env_.summonChannel)
        summonObserver_ = env_.summonChannel->observe([weak = weak_from_this()] {
            if (auto self = weak.lock()) self->summon();
        });
}

void AppCoordinator::startIndexingOnce() {
    if (!preferences_->searchThisMac() || indexingStarted_) return;
    indexingStarted_ = true;
    indexCoordinator_->start();
}

void AppCoordinator::recordFirstRunEndedWithoutTheMac() {
    firstRunEndedWithoutTheMac_ = true;
    FirstRunStore::markFirstRunCompleted(*firstRunDefaults_);
    overlayViewModel_->isFirstRun.set(false);
}

bool AppCoordinator::fullDiskAccess() const {
    return fullDiskAccessCheck_();
}

void AppCoordinator::startCatalogs() {
    if (!isPrimaryInstance_ || catalogsStarted_) return;
    catalogsStarted_ = true;
    CatalogMigration::runInBackground(indexPath_, catalogLibrary_->layout(), *preferences_,
                                      mountedVolumes_(), env_.clock->now(), *env_.mainQueue,
                                      *env_.queues->globalUtility(),
                                      [weak = weak_from_this()](const CatalogMigration::Outcome&) {
                                          if (auto self = weak.lock()) self->catalogsMigrated();
                                      });
}

void AppCoordinator::catalogsMigrated() {
    catalogCoordinator_->start();
    catalogCoordinator_->startWatchingVolumes();
    catalogCoordinator_->startLiveUpdates();
    // Volumes catalogued now leave an index from before catalogs.
    const auto& store = indexCoordinator_->store();
    if (preferences_->searchThisMac() && !indexCoordinator_->isScanning() && store &&
        store->header().volumes.size() > 1)
        indexCoordinator_->rebuildNow();
}

} // namespace ulmaro
