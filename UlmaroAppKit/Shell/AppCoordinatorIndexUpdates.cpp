#include "UlmaroAppKit/Catalogs/CatalogCoordinating.h"
#include "UlmaroAppKit/Catalogs/CatalogLibrary.h"
#include "UlmaroAppKit/Indexing/ContentIndexHolder.h"
#include "UlmaroAppKit/Indexing/ContentIndexScope.h"
#include "UlmaroAppKit/Indexing/EmptyIndex.h"
#include "UlmaroAppKit/Indexing/IndexLocation.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Panel/RecentsStore.h"
#include "UlmaroAppKit/Panel/SavedSearchStore.h"
#include "UlmaroAppKit/Search/FrecencyStore.h"
#include "UlmaroAppKit/Search/SearchEngine.h"
#include "UlmaroAppKit/Search/SuggestionSeeder.h"
#include "UlmaroAppKit/Search/TrigramIndexHolder.h"
#include "UlmaroAppKit/Settings/FirstRunStore.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"
#include "UlmaroAppKit/Shell/ContentIndexUpkeep.h"
#include "UlmaroKit/Content/ContentIndex.h"
#include "UlmaroKit/Index/IndexStore.h"

#include <syslog.h>

namespace ulmaro {

void AppCoordinator::handleIndexUpdate(const IndexCoordinator::State& state,
                                       const IndexCoordinator::Store& store) {
    const bool searched = preferences_->searchThisMac();
    IndexCoordinator::Store base = store;
    if (!searched) {
        if (!emptyStore_) emptyStore_ = EmptyIndex::store(EmptyIndex::path(indexPath_));
        base = *emptyStore_;
    }
    overlayViewModel_->attributeDataIncomplete.set(
        searched && (!store || store->header().attrsCompleteness == AttrsCompleteness::none));

    if (!base) {
        if (!searched) writeSystemLog(noEmptyIndexLine);
        lastEngineInputs_.reset();
        overlayViewModel_->setEngine(nullptr);
        overlayViewModel_->state.set(OverlayResultState::failed(noIndexText));
    } else {
        EngineInputs candidate;
        candidate.store = base;
        if (searched) {
            candidate.deltaStore = indexCoordinator_->liveDelta().store();
            for (const auto& [path, sequence] : indexCoordinator_->liveDelta().tombstones())
                candidate.removed.insert(path);
        }
        candidate.sortOrder = overlayViewModel_->sortOrder.get();
        candidate.catalogGeneration = catalogLibrary_->generation();
        candidate.resultLimit = preferences_->resultLimit();
        if (lastEngineInputs_ != candidate) installEngine(candidate);
        if (searched && !contentIndexLoadedFromDisk_) {
            contentIndexLoadedFromDisk_ = true;
            contentUpkeep_->loadFromDisk();
        }
        const auto content = contentIndexHolder_->current();
        overlayViewModel_->hasContentIndex.set(searched && content && !content->isEmpty());
    }

    applyIndexStateToPanel(state);

    if (searched)
        lastMenuBarIndexState_ = menuBarState(state);
    else
        lastMenuBarIndexState_ = MenuBarViewModel::CatalogOnly{
            static_cast<std::int64_t>(catalogLibrary_->entries().size()), catalogFileCount()};
    refreshMenuBar();

    if (const auto* ready = std::get_if<IndexCoordinator::Ready>(&state);
        ready && searched && store)
        handleReady(ready->count, store);
}

void AppCoordinator::installEngine(const EngineInputs& inputs) {
    lastEngineInputs_ = inputs;
    const bool searched = preferences_->searchThisMac();
    SearchEngine::Inputs engineInputs;
    engineInputs.store = inputs.store;
    engineInputs.limit = inputs.resultLimit;
    engineInputs.deltaStore = inputs.deltaStore;
    engineInputs.removedPaths = std::make_shared<const RemovedPaths>(
        std::vector<std::string>(inputs.removed.begin(), inputs.removed.end()));
    engineInputs.frecencyBoost =
        [snapshot = std::make_shared<const FrecencyStore::BoostSnapshot>(
             frecencyStore_->boostSnapshot(env_.clock->now()))](std::string_view path) {
            const auto found = snapshot->find(path);
            return found == snapshot->end() ? 0.0 : found->second;
        };
    engineInputs.sortOrder = inputs.sortOrder;
    // Nothing counts as a system path here: the scan policy already left those out.
    engineInputs.excludeSystemPaths = [] { return false; };
    if (searched)
        engineInputs.contentIndex = [holder = contentIndexHolder_] { return holder->current(); };
    engineInputs.catalogs = catalogSearchInputs();

    auto engine = env_.makeSearchEngine
                      ? env_.makeSearchEngine(std::move(engineInputs))
                      : SearchEngine::make(std::move(engineInputs), *env_.queues, env_.clock);
    overlayViewModel_->setEngine(engine);
    if (overlayViewModel_->state.get().isFailed())
        overlayViewModel_->state.set(OverlayResultState::idle());
    if (!engine) return;
    if (searched) engine->useTrigramIndex(trigramHolder_, *env_.queues);
    engine->useCatalogTrigramIndexes(
        [weak = weak_from_this()](std::string_view id) -> std::shared_ptr<TrigramIndexHolder> {
            if (auto self = weak.lock()) return self->catalogTrigramHolder(id);
            return nullptr;
        },
        *env_.queues);
}

void AppCoordinator::applyIndexStateToPanel(const IndexCoordinator::State& state) {
    auto& panel = *overlayViewModel_;
    const auto clearBackgroundScan = [&panel] {
        if (panel.backgroundScanFiles.get()) panel.backgroundScanFiles.set(std::nullopt);
    };
    if (const auto* indexing = std::get_if<IndexCoordinator::Indexing>(&state)) {
        panel.state.set(OverlayResultState::indexing(indexing->filesSoFar));
        clearBackgroundScan();
        onboardingViewModel_->filesSoFar.set(indexing->filesSoFar);
    } else {
        if (panel.state.get().isIndexing()) panel.state.set(OverlayResultState::idle());
        if (const auto* refreshing = std::get_if<IndexCoordinator::Refreshing>(&state)) {
            if (panel.backgroundScanFiles.get() != refreshing->filesSoFar)
                panel.backgroundScanFiles.set(refreshing->filesSoFar);
            onboardingViewModel_->filesSoFar.set(refreshing->filesSoFar);
        } else {
            clearBackgroundScan();
        }
    }
    if (const auto* ready = std::get_if<IndexCoordinator::Ready>(&state))
        panel.totalIndexedCount.set(ready->count);
    else if (const auto* refreshing = std::get_if<IndexCoordinator::Refreshing>(&state))
        panel.totalIndexedCount.set(refreshing->count);
    if (!preferences_->searchThisMac()) panel.totalIndexedCount.set(catalogFileCount());
}

void AppCoordinator::handleReady(std::int64_t count, const IndexCoordinator::Store& store) {
    env_.settings->setBool(Keys::lastScanUsedFullDiskAccess, fullDiskAccess());
    if (isFirstRun_ && !firstRunHandled_ && !indexCoordinator_->isScanning()) {
        firstRunHandled_ = true;
        FirstRunStore::markFirstRunCompleted(*firstRunDefaults_);
        auto suggestions = SuggestionSeeder::seed(*store, env_.homeDirectory.string());
        overlayViewModel_->completeFirstRunIndexing(count, suggestions.rows);
        const auto denied =
            env_.settings->intValue(IndexCoordinator::Keys::lastScanDenied).value_or(0);
        onboardingViewModel_->deniedDirectories.set(denied);
        overlayViewModel_->indexGapFolders.set(denied);
        overlayViewModel_->indexGapPaths.set(
            env_.settings->stringListValue(IndexCoordinator::Keys::lastScanDeniedPaths)
                .value_or(std::vector<std::string>{}));
        onboardingViewModel_->applyIndexingComplete(count, std::move(suggestions.rows));
    }
    contentUpkeep_->buildIfNeeded();
    indexCoordinator_->onDocumentsChanged =
        [weak = weak_from_this(), main = env_.mainQueue](const std::vector<std::string>& paths) {
            main->post([weak, paths] {
                if (auto self = weak.lock()) self->contentUpkeep_->updateForChanged(paths);
            });
        };
    if (needsPostFDARescan_) {
        needsPostFDARescan_ = false;
        indexCoordinator_->rebuildNow();
    }
}

void AppCoordinator::resultLimitChanged() {
    handleIndexUpdate(indexCoordinator_->state(), indexCoordinator_->store());
}

void AppCoordinator::catalogsChanged() {
    std::set<std::string, std::less<>> ids;
    for (const auto& entry : catalogLibrary_->entries())
        ids.insert(entry.id());
    std::erase_if(catalogTrigramHolders_,
                  [&ids](const auto& item) { return !ids.contains(item.first); });
    handleIndexUpdate(indexCoordinator_->state(), indexCoordinator_->store());
}

std::vector<CatalogSearchInput> AppCoordinator::catalogSearchInputs() const {
    std::vector<CatalogSearchInput> inputs;
    for (const auto& entry : catalogLibrary_->entries()) {
        if (!entry.store) continue;
        inputs.push_back(
            {entry.info.id, entry.info.name, entry.store, entry.currentRoot, entry.info.rootPath(),
             entry.info.kind == CatalogInfo::Kind::efu ? std::nullopt : entry.info.rootRecordID});
    }
    return inputs;
}

std::shared_ptr<TrigramIndexHolder> AppCoordinator::catalogTrigramHolder(std::string_view id) {
    if (const auto found = catalogTrigramHolders_.find(id); found != catalogTrigramHolders_.end())
        return found->second;
    auto holder = std::make_shared<TrigramIndexHolder>(catalogLibrary_->layout().directory(id) /
                                                       "trigram.cache");
    catalogTrigramHolders_.emplace(std::string(id), holder);
    return holder;
}

void AppCoordinator::writeSystemLog(const std::string& line) const {
    if (env_.writeSystemLog)
        env_.writeSystemLog(line);
    else
        ::syslog(LOG_WARNING, "%s", line.c_str());
}

void AppCoordinator::makeContentUpkeep() {
    contentIndexHolder_ = std::make_shared<ContentIndexHolder>();
    ContentIndexUpkeep::Dependencies dependencies{
        *env_.mainQueue,
        env_.queues->globalUtility(),
        contentIndexHolder_,
        [preferences = env_.preferences] { return preferences->contentIndexFolders(); },
        [preferences = env_.preferences, access = fullDiskAccessCheck_, home = env_.homeDirectory] {
            return ContentIndexScope::readableFolders(preferences->contentIndexFolders(), access(),
                                                      home);
        },
        env_.extractDocumentText};
    contentUpkeep_ = std::make_unique<ContentIndexUpkeep>(
        ContentIndexUpkeep::contentIndexURL(options_.indexPath, IndexLocation::defaultURL()),
        std::move(dependencies));
    contentUpkeep_->onHasContentIndex = [weak = weak_from_this()](bool has) {
        if (auto self = weak.lock())
            self->overlayViewModel_->hasContentIndex.set(has &&
                                                         self->preferences_->searchThisMac());
    };
}

void AppCoordinator::applySearchThisMac() {
    // Cleared first, so that the update a start publishes builds the engine and the one
    // below finds it current.
    lastEngineInputs_.reset();
    if (preferences_->searchThisMac()) {
        if (!indexCoordinator_->isScanning()) {
            if (indexCoordinator_->store()) indexCoordinator_->startWatchingIfNeeded();
            if (!indexCoordinator_->isScanning()) indexCoordinator_->start();
        }
        indexingStarted_ = true;
        if (fullDiskAccess()) {
            FDAPromptStore::clearAskOwed(*firstRunDefaults_);
        } else {
            FDAPromptStore::markAskOwed(*firstRunDefaults_);
            if (FDAPromptStore::hasTappedLater(*firstRunDefaults_))
                overlayViewModel_->fdaBannerVisible.set(true);
            else
                overlayViewModel_->fdaPromptVisible.set(true);
        }
    } else {
        if (isFirstRun_ && !firstRunEndedWithoutTheMac_) recordFirstRunEndedWithoutTheMac();
        indexCoordinator_->stopWatching();
        overlayViewModel_->fdaPromptVisible.set(false);
        overlayViewModel_->fdaBannerVisible.set(false);
        contentUpkeep_->disable();
        contentIndexLoadedFromDisk_ = false;
        overlayViewModel_->hasContentIndex.set(false);
    }
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
    content.hotKey = hotKeyStatus.get();
    showInMenuBar(std::move(content));
}

} // namespace ulmaro
