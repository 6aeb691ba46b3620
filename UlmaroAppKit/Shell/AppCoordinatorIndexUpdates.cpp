#include "UlmaroAppKit/Catalogs/CatalogCoordinating.h"
#include "UlmaroAppKit/Catalogs/CatalogLibrary.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Panel/RecentsStore.h"
#include "UlmaroAppKit/Panel/SavedSearchStore.h"
#include "UlmaroAppKit/Settings/FirstRunStore.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"

namespace ulmaro {

void AppCoordinator::handleIndexUpdate(const IndexCoordinator::State& state,
                                       const IndexCoordinator::Store& /*store*/) {
    // The engine and the panel's index state are wired with the search engine; this keeps
    // the menu's index line current.
    if (preferences_->searchThisMac())
        lastMenuBarIndexState_ = menuBarState(state);
    else
        lastMenuBarIndexState_ = MenuBarViewModel::CatalogOnly{
            static_cast<std::int64_t>(catalogLibrary_->entries().size()), catalogFileCount()};
    refreshMenuBar();
}

void AppCoordinator::catalogsChanged() {
    handleIndexUpdate(indexCoordinator_->state(), indexCoordinator_->store());
}

void AppCoordinator::applySearchThisMac() {
    if (preferences_->searchThisMac()) {
        if (!indexCoordinator_->isScanning()) {
            if (indexCoordinator_->store()) indexCoordinator_->startWatchingIfNeeded();
            if (!indexCoordinator_->isScanning()) indexCoordinator_->start();
        }
        indexingStarted_ = true;
        if (fullDiskAccess()) {
            firstRunDefaults_->remove(Keys::fdaAskOwed);
        } else {
            firstRunDefaults_->setBool(Keys::fdaAskOwed, true);
            if (firstRunFlag(Keys::fdaLaterTapped))
                overlayViewModel_->fdaBannerVisible.set(true);
            else
                overlayViewModel_->fdaPromptVisible.set(true);
        }
    } else {
        if (isFirstRun_ && !firstRunEndedWithoutTheMac_) recordFirstRunEndedWithoutTheMac();
        indexCoordinator_->stopWatching();
        overlayViewModel_->fdaPromptVisible.set(false);
        overlayViewModel_->fdaBannerVisible.set(false);
        overlayViewModel_->hasContentIndex.set(false);
    }
    lastEngineInputs_.reset();
    catalogsChanged();
}

MenuBarViewModel::IndexAvailability
AppCoordinator::menuBarState(const IndexCoordinator::State& state) const {
    using Menu = MenuBarViewModel;
    return std::visit(
        [](const auto& s) -> Menu::IndexAvailability {
            using S = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<S, IndexCoordinator::Indexing>)
                return Menu::Indexing{s.filesSoFar};
            else if constexpr (std::is_same_v<S, IndexCoordinator::Ready>)
                return Menu::Ready{s.count, s.indexedAt};
            else if constexpr (std::is_same_v<S, IndexCoordinator::Refreshing>)
                return Menu::Refreshing{s.count, s.filesSoFar};
            else if constexpr (std::is_same_v<S, IndexCoordinator::Failed>)
                return Menu::Failed{s.message};
            else
                return Menu::Loading{};
        },
        state);
}

std::int64_t AppCoordinator::catalogFileCount() const {
    std::int64_t total = 0;
    for (const auto& info : catalogLibrary_->infos())
        total += static_cast<std::int64_t>(info.fileCount);
    return total;
}

std::vector<MenuBarViewModel::CatalogStatus> AppCoordinator::catalogStatuses() const {
    std::vector<MenuBarViewModel::CatalogStatus> statuses;
    for (const auto& entry : catalogLibrary_->entries())
        statuses.push_back({entry.info.id, entry.info.name, entry.isOnline(),
                            catalogCoordinator_->isScanning(entry.info.id),
                            entry.health.isDamaged()});
    for (const auto& info : catalogCoordinator_->pendingNew())
        statuses.push_back({info.id, info.name, true, true, false});
    return statuses;
}

void AppCoordinator::refreshMenuBar() {
    const bool searched = preferences_->searchThisMac();
    MenuBarViewModel content;
    content.indexState = lastMenuBarIndexState_;
    content.recentSearches = recentsStore_->recentSearches();
    content.recentFiles = recentsStore_->recentFiles();
    content.startAtLogin = loginItem_.displayState();
    content.savedSearches = savedSearchStore_->searches.get();
    if (searched) {
        content.deniedDirectories =
            env_.settings->intValue(IndexCoordinator::Keys::lastScanDenied).value_or(0);
        content.deniedPaths =
            env_.settings->stringListValue(IndexCoordinator::Keys::lastScanDeniedPaths)
                .value_or(std::vector<std::string>{});
        content.health = indexCoordinator_->health();
    }
    content.catalogs = catalogStatuses();
    content.hotKeyUnavailable = hotKeyUnavailable.get();
    showInMenuBar(std::move(content));
}

} // namespace ulmaro
