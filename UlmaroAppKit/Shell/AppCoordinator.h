#pragma once

#include "UlmaroAppKit/Indexing/FDAPromptStore.h"
#include "UlmaroAppKit/Indexing/IndexCoordinator.h"
#include "UlmaroAppKit/MenuBar/LoginItemViewModel.h"
#include "UlmaroAppKit/MenuBar/MenuBarMenuBuilder.h"
#include "UlmaroAppKit/MenuBar/MenuBarViewModel.h"
#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroAppKit/Search/CatalogSearchInput.h"
#include "UlmaroAppKit/Search/SortOrder.h"
#include "UlmaroAppKit/Settings/HotKeyStatus.h"
#include "UlmaroAppKit/Settings/KeyCombo.h"
#include "UlmaroAppKit/Shell/AppEnvironment.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace ulmaro {

class CatalogCoordinating;
class CatalogLibrary;
class CatalogPromptQueue;
class ContentIndexHolder;
class ContentIndexUpkeep;
class FrecencyStore;
class HotKey;
class MenuBarController;
class OnboardingViewModel;
class OverlayPanelController;
class OverlayViewModel;
class RecentsStore;
class SavedSearchStore;
class Timer;
class TrigramIndexHolder;
class VolumeEvents;

/// Creates, owns and connects every part of the application: the panel's model and
/// controller, the index and catalog coordinators, the stores, the first-run flow, the login
/// item and the menu-bar item. Tells the first copy (primary) from a later one, which only
/// summons the first. Lives on the main thread; callbacks handed to its parts hold it weakly.
class AppCoordinator : public std::enable_shared_from_this<AppCoordinator> {
public:
    /// The inputs the panel's search engine was built from; a new engine is built only when
    /// they change. Stores compare by identity, never by content.
    struct EngineInputs {
        IndexCoordinator::Store store;
        IndexCoordinator::Store deltaStore;
        std::set<std::string> removed;
        SortOrder sortOrder = SortOrder::relevance;
        std::int64_t catalogGeneration = 0;
        std::int64_t resultLimit = 0;
        friend bool operator==(const EngineInputs&, const EngineInputs&) = default;
    };

    struct Options {
        std::filesystem::path indexPath;
        /// Absent: a first run unless one was recorded as completed.
        std::optional<bool> isFirstRun;
        /// Absent: the coordinator makes its own, over `scanRoot`.
        std::shared_ptr<IndexCoordinator> indexCoordinator;
        /// What this computer's index covers: "/" but in test mode.
        std::string scanRoot = "/";
        std::shared_ptr<RecentsStore> recentsStore;
        /// Absent: indexing starts when onboarding was completed.
        std::optional<bool> startIndexingImmediately;
    };

    struct Keys {
        static constexpr const char* fdaAskOwed = FDAPromptStore::askOwedKey;
        static constexpr const char* fdaLaterTapped = FDAPromptStore::laterTappedKey;
        static constexpr const char* lastScanUsedFullDiskAccess =
            "app.ulmaro.lastScanUsedFullDiskAccess";
        static constexpr const char* frecency = "app.ulmaro.frecency";
        static constexpr const char* savedSearches = "app.ulmaro.savedSearches";
        static constexpr const char* recentSearches = "app.ulmaro.recentSearches";
        static constexpr const char* recentFiles = "app.ulmaro.recentFiles";
    };

    static constexpr double staleAfter = 86400;
    static constexpr double settleDelay = 1.2;
    static constexpr const char* anotherInstanceText = "Another instance is running.";
    static constexpr const char* noIndexText =
        "No index available. Run \u2018lu scan\u2019 to build one.";
    static constexpr const char* noEmptyIndexLine =
        "Ulmaro: could not load the empty base index; catalogs are not searchable";

    /// What the next scan of this computer skips: with access, everything the full-disk
    /// rules skip; without, the protected folders of the home folder too; then the user's
    /// exclusions. Asked anew for every scan.
    static ScanPolicy scanPolicy(bool fullDiskAccess, const std::filesystem::path& home,
                                 const Preferences& preferences);

    /// Builds the coordinator; it is owned by the returned pointer before anything is made,
    /// so that every callback can hold it weakly.
    static std::shared_ptr<AppCoordinator> create(AppEnvironment environment, Options options);

    AppCoordinator(const AppCoordinator&) = delete;
    AppCoordinator& operator=(const AppCoordinator&) = delete;
    ~AppCoordinator();

    /// Starts the one-time catalog migration, then the catalog coordinator: once, and only
    /// in the primary copy.
    void startCatalogs();

    OverlayViewModel& overlayViewModel() const { return *overlayViewModel_; }
    OverlayPanelController& panelController() const { return *panelController_; }
    IndexCoordinator& indexCoordinator() const { return *indexCoordinator_; }
    RecentsStore& recentsStore() const { return *recentsStore_; }
    /// Replaced by `setupOnboarding`; look it up each time.
    OnboardingViewModel& onboardingViewModel() const { return *onboardingViewModel_; }
    bool isPrimaryInstance() const { return isPrimaryInstance_; }
    bool isFirstRun() const { return isFirstRun_; }
    FrecencyStore& frecencyStore() const { return *frecencyStore_; }
    SavedSearchStore& savedSearchStore() const { return *savedSearchStore_; }
    CatalogLibrary& catalogLibrary() const { return *catalogLibrary_; }
    CatalogCoordinating& catalogCoordinator() const { return *catalogCoordinator_; }
    CatalogPromptQueue& promptQueue() const { return *promptQueue_; }
    LoginItemViewModel& loginItem() { return loginItem_; }
    MenuBarController& menuBar() const { return *menuBar_; }
    /// What the menu-bar item shows now.
    const MenuBarViewModel& menuBarViewModel() const { return menuBarViewModel_; }
    VolumeEvents& volumeEvents() const { return *volumeEvents_; }
    bool indexingStarted() const { return indexingStarted_; }
    bool needsPostFDARescan() const { return needsPostFDARescan_; }
    bool firstRunEndedWithoutTheMac() const { return firstRunEndedWithoutTheMac_; }
    const std::optional<EngineInputs>& lastEngineInputs() const { return lastEngineInputs_; }

    /// Shows the Settings window; set by the application.
    std::function<void()> onOpenSettings;
    /// Shows the catalog window at a catalog and a path to reveal; set by the application.
    std::function<void(const std::optional<std::string>& catalogID,
                       const std::optional<std::string>& revealPath)>
        onOpenCatalog;

    /// The shortcut could not be registered after every retry; the menu offers to change it.
    Observable<bool> hotKeyUnavailable{false};
    /// The one account of the summon shortcut that the panel, the tray, the first-run flow
    /// and Settings all tell: held, taken, or not to be had in this session.
    Observable<HotKeyStatus> hotKeyStatus;

    // Index updates and the engine.
    void handleIndexUpdate(const IndexCoordinator::State& state,
                           const IndexCoordinator::Store& store);
    void catalogsChanged();
    void applySearchThisMac();
    void refreshMenuBar();
    MenuBarViewModel::IndexAvailability menuBarState(const IndexCoordinator::State& state) const;
    std::vector<MenuBarViewModel::CatalogStatus> catalogStatuses() const;
    std::int64_t catalogFileCount() const;
    std::vector<CatalogSearchInput> catalogSearchInputs() const;
    /// The catalog's trigram holder, made on first use with "trigram.cache" in its folder.
    std::shared_ptr<TrigramIndexHolder> catalogTrigramHolder(std::string_view catalogID);
    /// The result limit changed in Settings: the engine is built again with it.
    void resultLimitChanged();
    ContentIndexHolder& contentIndexHolder() const { return *contentIndexHolder_; }
    ContentIndexUpkeep& contentIndexUpkeep() const { return *contentUpkeep_; }

    // The user's direct requests.
    void summon();
    void dismissOverlay();
    void openRecentFile(const std::string& path);
    void grantFullDiskAccess();
    void deferFullDiskAccess();

    // The global shortcut.
    /// Registers `combo` as the summon key in place of the one held. On failure the saved
    /// shortcut comes back when a key had been held, and the error log gets one line per
    /// combination refused (the launch's retries add none). In a session without global
    /// keys nothing is grabbed. True when `combo` itself is registered.
    bool registerHotKey(const KeyCombo& combo);
    /// The saved shortcut, retried 0.5, 1 and 2 s apart when it is taken; after the last
    /// failure `hotKeyUnavailable` is set. In a session without global keys nothing is
    /// tried or retried, and one line says why. True when the first attempt succeeded.
    bool registerHotKeyWithRetry();
    void scheduleHotKeyRetry(int attempt);
    static constexpr double hotKeyRetryDelays[] = {0.5, 1.0, 2.0};

    // The first-run flow.
    /// Builds the flow's model (primary only) and seeds it with what is known already.
    /// `fullDiskAccessGranted` absent: asked of the probe.
    void setupOnboarding(bool hotkeyRegistered, std::optional<bool> fullDiskAccessGranted);
    void seedOnboardingFromCurrentIndexState();
    bool shouldPresentPanelAtLaunch(std::span<const std::string> arguments) const;
    void presentFirstRunAutomatically(std::span<const std::string> arguments);

private:
    struct Passkey {};

public:
    AppCoordinator(Passkey, AppEnvironment environment, Options options);

private:
    void construct();
    void makeStores();
    void makePanel();
    void makeIndexCoordinator();
    void makeCatalogs();
    void makeMenuBar();
    void installMenuSlots();
    void installBothCallbacks();
    void installPrimaryCallbacks();
    void continueAsSecondary();
    void continueAsPrimary();
    void catalogsMigrated();
    void showInMenuBar(MenuBarViewModel viewModel);
    void startIndexingOnce();
    void toggleSavedQuery(const std::string& query);
    void sortOrderChanged();
    void rebuild();
    void handleReady(std::int64_t count, const IndexCoordinator::Store& store);
    void installEngine(const EngineInputs& inputs);
    void applyIndexStateToPanel(const IndexCoordinator::State& state);
    void makeContentUpkeep();
    void writeSystemLog(const std::string& line) const;
    void hidePanelBeforeOpen();
    bool fullDiskAccess() const;
    void recordFirstRunEndedWithoutTheMac();
    std::shared_ptr<HotKey> makeSummonKey(const KeyCombo& combo);
    HotKeyStatus hotKeyStatusOf(HotKeyStatus::State state, const KeyCombo& combo) const;
    void publishHotKeyStatus(const HotKeyStatus& status);
    void onboardingCompleted();
    void choseCatalogOnly();
    void drivesChosen(const std::vector<MountedVolume>& chosen,
                      const std::vector<MountedVolume>& declined);

    AppEnvironment env_;
    Options options_;

    std::shared_ptr<OverlayViewModel> overlayViewModel_;
    std::unique_ptr<OverlayPanelController> panelController_;
    std::shared_ptr<IndexCoordinator> indexCoordinator_;
    std::shared_ptr<RecentsStore> recentsStore_;
    std::shared_ptr<OnboardingViewModel> onboardingViewModel_;
    LoginItemViewModel loginItem_;
    bool isPrimaryInstance_ = false;
    std::unique_ptr<MenuBarController> menuBar_;
    MenuBarViewModel menuBarViewModel_;
    std::shared_ptr<HotKey> hotKey_;
    bool isFirstRun_ = false;
    std::shared_ptr<SettingsStore> firstRunDefaults_;
    std::shared_ptr<FrecencyStore> frecencyStore_;
    std::shared_ptr<SavedSearchStore> savedSearchStore_;
    Subscription summonObserver_;
    bool needsPostFDARescan_ = false;
    bool firstRunHandled_ = false;
    bool firstRunEndedWithoutTheMac_ = false;
    // Before the catalog parts that watch it, so it outlives them.
    std::unique_ptr<VolumeEvents> volumeEvents_;
    std::shared_ptr<CatalogLibrary> catalogLibrary_;
    std::shared_ptr<CatalogCoordinating> catalogCoordinator_;
    std::shared_ptr<Preferences> preferences_;
    std::shared_ptr<CatalogPromptQueue> promptQueue_;
    std::filesystem::path indexPath_;
    bool catalogsStarted_ = false;
    AppEnvironment::MountedVolumes mountedVolumes_;
    MenuBarViewModel::IndexAvailability lastMenuBarIndexState_ = MenuBarViewModel::Loading{};
    bool indexingStarted_ = false;
    std::function<bool()> fullDiskAccessCheck_;
    std::optional<EngineInputs> lastEngineInputs_;
    std::unique_ptr<Timer> hotKeyRetry_;
    /// The last combination whose refusal was logged; a retry of it logs nothing.
    std::optional<KeyCombo> loggedHotKeyFailure_;
    /// Computed once; an empty index that could not be made stays absent.
    std::optional<IndexCoordinator::Store> emptyStore_;
    std::shared_ptr<TrigramIndexHolder> trigramHolder_;
    std::map<std::string, std::shared_ptr<TrigramIndexHolder>, std::less<>> catalogTrigramHolders_;
    std::shared_ptr<ContentIndexHolder> contentIndexHolder_;
    std::unique_ptr<ContentIndexUpkeep> contentUpkeep_;
    bool contentIndexLoadedFromDisk_ = false;

    /// What the menu's forwarders call; filled once every part exists.
    std::shared_ptr<MenuBarMenuBuilder::Callbacks> menuSlots_ =
        std::make_shared<MenuBarMenuBuilder::Callbacks>();
};

} // namespace ulmaro
