#include "UlmaroAppKit/Panel/OverlayViewModel.h"

#include "UlmaroAppKit/Indexing/IndexHealth.h"
#include "UlmaroAppKit/Panel/RecentsStore.h"
#include "UlmaroAppKit/Panel/SettleScheduling.h"
#include "UlmaroAppKit/Platform/Clock.h"
#include "UlmaroAppKit/Platform/MainQueue.h"
#include "UlmaroAppKit/Platform/ResultActionPerforming.h"
#include "UlmaroAppKit/Search/SearchEngineProtocol.h"
#include "UlmaroAppKit/Settings/KeyCombo.h"

#include <cassert>

namespace ulmaro {

namespace {

template <class T>
void setIfChanged(Observable<T>& observable, T value) {
    if (!(observable.get() == value)) observable.set(std::move(value));
}

} // namespace

std::shared_ptr<OverlayViewModel>
OverlayViewModel::create(std::shared_ptr<SearchEngineProtocol> engine, Opener opener,
                         bool isFirstRun, std::shared_ptr<RecentsStore> recentsStore,
                         std::shared_ptr<SettleScheduling> settleScheduler, double settleDelay,
                         std::shared_ptr<ResultActionPerforming> actions,
                         std::shared_ptr<MainQueue> mainQueue, std::shared_ptr<Clock> clock) {
    auto model = std::make_shared<OverlayViewModel>(
        Passkey{}, std::move(engine), std::move(opener), isFirstRun, std::move(recentsStore),
        std::move(settleScheduler), settleDelay, std::move(actions), std::move(mainQueue),
        std::move(clock));
    model->observeSettersOfFilterAndOrder();
    return model;
}

OverlayViewModel::OverlayViewModel(
    Passkey, std::shared_ptr<SearchEngineProtocol> engine, Opener opener, bool firstRun,
    std::shared_ptr<RecentsStore> recentsStore, std::shared_ptr<SettleScheduling> settleScheduler,
    double settleDelay, std::shared_ptr<ResultActionPerforming> actions,
    std::shared_ptr<MainQueue> mainQueue, std::shared_ptr<Clock> clock)
    : isFirstRun(firstRun), hotkeyLine(HotKeyStatus{}.panelLine()),
      hotKeyDisplay(KeyCombo::optionSpace.display()), engine_(std::move(engine)),
      opener_(std::move(opener)), actions_(std::move(actions)),
      recentsStore_(std::move(recentsStore)), settleScheduler_(std::move(settleScheduler)),
      settleDelay_(settleDelay), mainQueue_(std::move(mainQueue)), clock_(std::move(clock)) {
    assert(actions_ && settleScheduler_ && mainQueue_ && clock_);
    if (!engine_) state.set(ResultState::failed(noIndexMessage));
}

OverlayViewModel::~OverlayViewModel() = default;

void OverlayViewModel::assertMainThread() const {
    assert(mainQueue_->isCurrent());
}

WallTime OverlayViewModel::now() const {
    return clock_->now();
}

// Writes from outside reach these two through the observables, so the model watches its
// own values; its subscriptions come first and act before any view hears of the change.
void OverlayViewModel::observeSettersOfFilterAndOrder() {
    std::weak_ptr<OverlayViewModel> weak = weak_from_this();
    ownSubscriptions_.push_back(activeFilter.subscribe([weak](const auto& filter) {
        auto self = weak.lock();
        if (!self || self->appliedFilter_ == filter) return;
        self->appliedFilter_ = filter;
        self->rerunCurrentQuery();
    }));
    ownSubscriptions_.push_back(sortOrder.subscribe([weak](SortOrder order) {
        auto self = weak.lock();
        if (!self || self->appliedOrder_ == order) return;
        self->appliedOrder_ = order;
        if (self->onSortChanged) self->onSortChanged(order);
    }));
}

std::int64_t OverlayViewModel::indexingFilesSoFar() const {
    const auto* indexing = state.get().indexingIfAny();
    return indexing ? indexing->filesSoFar : 0;
}

const std::vector<RankedRow>& OverlayViewModel::rows() const {
    static const std::vector<RankedRow> none;
    const auto* results = state.get().resultsIfAny();
    return results ? results->rows : none;
}

void OverlayViewModel::setEngine(std::shared_ptr<SearchEngineProtocol> engine) {
    assertMainThread();
    engine_ = std::move(engine);
    if (!engine_)
        state.set(ResultState::failed(noIndexMessage));
    else if (state.get().isFailed())
        state.set(ResultState::idle());
    modelChanged.emit();
}

void OverlayViewModel::applyIndexingState(std::optional<std::int64_t> filesSoFar) {
    assertMainThread();
    if (filesSoFar)
        state.set(ResultState::indexing(*filesSoFar));
    else if (state.get().isIndexing())
        state.set(ResultState::idle());
}

void OverlayViewModel::applyBackgroundScan(std::optional<std::int64_t> filesSoFar) {
    assertMainThread();
    setIfChanged(backgroundScanFiles, filesSoFar);
}

void OverlayViewModel::setTotalIndexedCount(std::optional<std::int64_t> count) {
    assertMainThread();
    totalIndexedCount.set(count);
}

void OverlayViewModel::completeFirstRunIndexing(std::int64_t count,
                                                std::vector<RankedRow> suggestedRows) {
    assertMainThread();
    firstRunCompletionMessage.set(IndexHealth::count(count) + " files indexed.");
    suggestions.set(std::move(suggestedRows));
}

void OverlayViewModel::setHotKeyStatus(const HotKeyStatus& status) {
    assertMainThread();
    hotKeyDisplay.set(status.combo.display());
    hotkeyLine.set(status.panelLine());
}

void OverlayViewModel::toggleCheatSheet() {
    assertMainThread();
    showingCheatSheet.set(!showingCheatSheet.get());
}

void OverlayViewModel::showCheatSheet() {
    assertMainThread();
    showingCheatSheet.set(true);
}

void OverlayViewModel::hideCheatSheet() {
    assertMainThread();
    if (showingCheatSheet.get()) showingCheatSheet.set(false);
}

void OverlayViewModel::presentFullDiskAccessAsk() {
    assertMainThread();
    fdaPromptVisible.set(true);
}

void OverlayViewModel::presentFullDiskAccessAskIfNeeded() {
    assertMainThread();
    if (isFirstRun.get()) fdaPromptVisible.set(true);
}

void OverlayViewModel::dismissFDAPrompt(bool granted) {
    assertMainThread();
    fdaPromptVisible.set(false);
    if (!granted) fdaBannerVisible.set(true);
}

void OverlayViewModel::setFDABannerVisible(bool visible) {
    assertMainThread();
    fdaBannerVisible.set(visible);
}

void OverlayViewModel::dismissFDABanner() {
    assertMainThread();
    fdaBannerVisible.set(false);
}

void OverlayViewModel::stopBrowsingResults() {
    assertMainThread();
    isBrowsingResults.set(false);
}

void OverlayViewModel::reset() {
    assertMainThread();
    ++latestRequestedGeneration_;
    settleScheduler_->cancel();
    setIfChanged(emptySelection, std::optional<EmptySelection>());
    setIfChanged(queryText, std::string());
    setIfChanged(inlineCompletion, std::optional<InlineCompletion>());
    setIfChanged(copiesContext, std::optional<std::string>());
    if (!state.get().isIndexing() && !state.get().isIdle()) state.set(ResultState::idle());
    setIfChanged(selectedID, std::optional<std::uint32_t>());
    setIfChanged(isBrowsingResults, false);
    // The dropped outcome would have cleared it: left standing, the reopened empty panel
    // would say "Searching…".
    setIfChanged(resultsAreStale, false);
}

} // namespace ulmaro
