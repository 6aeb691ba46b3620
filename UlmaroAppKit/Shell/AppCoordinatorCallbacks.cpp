#include "UlmaroAppKit/Catalogs/CatalogCoordinating.h"
#include "UlmaroAppKit/Catalogs/CatalogLibrary.h"
#include "UlmaroAppKit/Catalogs/CatalogPromptQueue.h"
#include "UlmaroAppKit/MenuBar/MenuBarController.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/Panel/OverlayPanelController.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Panel/RecentsStore.h"
#include "UlmaroAppKit/Panel/SavedSearchStore.h"
#include "UlmaroAppKit/Platform/Clock.h"
#include "UlmaroAppKit/Search/FrecencyStore.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"

#include <algorithm>
#include <type_traits>

namespace ulmaro {
namespace {

/// A callback that runs `body` on the coordinator while it exists, and otherwise does
/// nothing and answers a value-initialised result (false, none).
template <class Body>
auto whileAlive(std::weak_ptr<AppCoordinator> weak, Body body) {
    return [weak = std::move(weak), body = std::move(body)](const auto&... args) {
        using Result = std::invoke_result_t<Body&, AppCoordinator&, decltype(args)...>;
        if (auto self = weak.lock()) return body(*self, args...);
        if constexpr (!std::is_void_v<Result>) return Result{};
    };
}

} // namespace

void AppCoordinator::installMenuSlots() {
    const auto weak = weak_from_this();
    MenuBarMenuBuilder::Callbacks& slots = *menuSlots_;
    slots.onSearch = whileAlive(weak, [](AppCoordinator& self) { self.summon(); });
    slots.onRebuild = whileAlive(weak, [](AppCoordinator& self) { self.rebuild(); });
    slots.onOpenSettings = whileAlive(weak, [](AppCoordinator& self) {
        if (self.onOpenSettings) self.onOpenSettings();
    });
    slots.onFixPermissions = whileAlive(weak, [](AppCoordinator& self) {
        self.grantFullDiskAccess();
        // No permission pane to open here: Settings is where unreadable folders are skipped.
        if (self.onOpenSettings) self.onOpenSettings();
    });
    slots.onSelectRecentSearch = whileAlive(weak, [](AppCoordinator& self, const std::string& q) {
        self.panelController_->show(true);
        self.overlayViewModel_->updateQuery(q);
    });
    slots.onSelectRecentFile = whileAlive(
        weak, [](AppCoordinator& self, const std::string& path) { self.openRecentFile(path); });
    slots.onClearRecents =
        whileAlive(weak, [](AppCoordinator& self) { self.recentsStore_->clearAll(); });
    slots.onResetPosition =
        whileAlive(weak, [](AppCoordinator& self) { self.panelController_->resetPosition(); });
    slots.onToggleStartAtLogin = whileAlive(weak, [](AppCoordinator& self) {
        self.loginItem_.toggle();
        self.refreshMenuBar();
    });
    slots.onSearchHelp = whileAlive(weak, [](AppCoordinator& self) {
        self.summon();
        self.overlayViewModel_->showingCheatSheet.set(true);
    });
    slots.onOpenCatalog =
        whileAlive(weak, [](AppCoordinator& self, const std::optional<std::string>& id) {
            if (self.onOpenCatalog) self.onOpenCatalog(id, std::nullopt);
        });
    menuBar_->setHealthProvider(
        whileAlive(weak, [](AppCoordinator& self) -> std::optional<IndexHealth> {
            if (!self.preferences_->searchThisMac()) return std::nullopt;
            return self.indexCoordinator_->health();
        }));
}

void AppCoordinator::installBothCallbacks() {
    const auto weak = weak_from_this();
    panelController_->shouldDismissOnResignKey = [weak] {
        auto self = weak.lock();
        return !self || !self->onboardingViewModel_->isShowing();
    };
    recentsStore_->onChange = whileAlive(weak, [](AppCoordinator& self) { self.refreshMenuBar(); });
    catalogLibrary_->onChange =
        whileAlive(weak, [](AppCoordinator& self) { self.catalogsChanged(); });
    catalogCoordinator_->onChange =
        whileAlive(weak, [](AppCoordinator& self) { self.refreshMenuBar(); });
    catalogCoordinator_->onPromptForDrive =
        whileAlive(weak, [](AppCoordinator& self, const MountedVolume& volume) {
            self.promptQueue_->enqueue(volume);
        });
    catalogCoordinator_->onVolumeUnmounted =
        whileAlive(weak, [](AppCoordinator& self, const std::string& mountPath) {
            self.promptQueue_->withdraw(mountPath);
        });
    catalogCoordinator_->isDiskImage = [isDiskImage = env_.isDiskImage](const MountedVolume& v) {
        return isDiskImage && isDiskImage(v.mountPath);
    };
    catalogCoordinator_->isOnboardingShowing = whileAlive(
        weak, [](AppCoordinator& self) { return self.onboardingViewModel_->isShowing(); });
    overlayViewModel_->onRevealInCatalog =
        whileAlive(weak, [](AppCoordinator& self, const RankedRow& row) {
            if (row.origin.catalog && self.onOpenCatalog)
                self.onOpenCatalog(row.origin.catalog->id, row.path);
        });
}

void AppCoordinator::installPrimaryCallbacks() {
    const auto weak = weak_from_this();
    overlayViewModel_->dismissBeforeOpen =
        whileAlive(weak, [](AppCoordinator& self) { self.hidePanelBeforeOpen(); });
    overlayViewModel_->onOpenedPath =
        whileAlive(weak, [](AppCoordinator& self, const std::string& path) {
            self.frecencyStore_->recordOpen(path, self.env_.clock->now());
        });
    overlayViewModel_->isQuerySaved =
        whileAlive(weak, [](AppCoordinator& self, const std::string& query) {
            const auto& searches = self.savedSearchStore_->searches.get();
            return std::any_of(searches.begin(), searches.end(),
                               [&](const SavedSearch& s) { return s.query == query; });
        });
    overlayViewModel_->onToggleSavedQuery = whileAlive(
        weak, [](AppCoordinator& self, const std::string& query) { self.toggleSavedQuery(query); });
    overlayViewModel_->onSortChanged =
        whileAlive(weak, [](AppCoordinator& self, SortOrder) { self.sortOrderChanged(); });
    indexCoordinator_->onUpdate = whileAlive(
        weak, [](AppCoordinator& self, const IndexCoordinator::State& state,
                 const IndexCoordinator::Store& store) { self.handleIndexUpdate(state, store); });
    indexCoordinator_->onFillProgress =
        whileAlive(weak, [](AppCoordinator& self, std::int64_t done, std::int64_t total) {
            self.onboardingViewModel_->fillProgress.set(done);
            self.onboardingViewModel_->fillTotal.set(total);
        });
}

void AppCoordinator::rebuild() {
    if (!preferences_->searchThisMac())
        catalogCoordinator_->rescanAllOnline();
    else if (indexingStarted_)
        indexCoordinator_->rebuildNow();
}

void AppCoordinator::hidePanelBeforeOpen() {
    // Saves the position and forgets the application captured at show; nothing is
    // activated: what opens comes to the front.
    panelController_->dismiss(false);
}

void AppCoordinator::toggleSavedQuery(const std::string& query) {
    const auto& searches = savedSearchStore_->searches.get();
    if (std::any_of(searches.begin(), searches.end(),
                    [&](const SavedSearch& s) { return s.query == query; }))
        savedSearchStore_->remove(query);
    else
        savedSearchStore_->add(query, query);
    refreshMenuBar();
}

void AppCoordinator::sortOrderChanged() {
    if (preferences_->searchThisMac() && !indexCoordinator_->store()) return;
    handleIndexUpdate(indexCoordinator_->state(), indexCoordinator_->store());
    const std::string query = overlayViewModel_->queryText.get();
    overlayViewModel_->queryText.set(std::string());
    overlayViewModel_->updateQuery(query);
}

} // namespace ulmaro
