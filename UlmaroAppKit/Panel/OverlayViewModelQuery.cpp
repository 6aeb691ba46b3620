// The road from a typed text, a filter or an order to the panel's state.

#include "UlmaroAppKit/Panel/InlineCompletionPolicy.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Panel/RecentsStore.h"
#include "UlmaroAppKit/Panel/SettleScheduling.h"
#include "UlmaroAppKit/Platform/MainQueue.h"
#include "UlmaroAppKit/Search/SearchEngineProtocol.h"
#include "UlmaroKit/Platform/UnicodeText.h"
#include "UlmaroKit/Search/QueryParser.h"

#include <string_view>

namespace ulmaro {

std::string_view OverlayViewModel::trimmedBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

void OverlayViewModel::updateQuery(const std::string& text, std::optional<bool> deleting) {
    assertMainThread();
    if (!engine_) return;
    isDeleting_ = deleting.value_or(UnicodeText::graphemeCount(text) <
                                    UnicodeText::graphemeCount(queryText.get()));
    if (isBrowsingResults.get()) isBrowsingResults.set(false);
    queryText.set(text);
    if (inlineCompletion.get()) inlineCompletion.set(std::nullopt);
    if (emptySelection.get()) emptySelection.set(std::nullopt);
    if (copiesContext.get()) copiesContext.set(std::nullopt);
    if (offlineNotice.get()) offlineNotice.set(std::nullopt);
    settleScheduler_->cancel();

    if (text.empty()) {
        ++latestRequestedGeneration_;
        if (!state.get().isIdle()) state.set(ResultState::idle());
        if (selectedID.get()) selectedID.set(std::nullopt);
        if (resultsAreStale.get()) resultsAreStale.set(false);
        return;
    }

    const std::int64_t generation = ++latestRequestedGeneration_;
    std::weak_ptr<OverlayViewModel> weak = weak_from_this();
    std::shared_ptr<MainQueue> queue = mainQueue_;
    engine_->search(effectiveQuery(),
                    [weak, queue, generation](SearchOutcome outcome, std::int64_t /*engine's*/) {
                        queue->post([weak, generation, outcome = std::move(outcome)]() mutable {
                            if (auto self = weak.lock())
                                self->apply(std::move(outcome), generation);
                        });
                    });
    if (state.get().resultsIfAny() && !resultsAreStale.get()) resultsAreStale.set(true);
    settleScheduler_->schedule(settleDelay_, [weak, text] {
        if (auto self = weak.lock()) self->considerRecordingSettledSearch(text);
    });
}

void OverlayViewModel::rerunCurrentQuery() {
    assertMainThread();
    // Without an engine the text would be emptied and never searched again.
    if (!engine_) return;
    // Emptied first, so the rerun never counts as deleting.
    std::string query = queryText.get();
    queryText.set(std::string());
    updateQuery(query, std::nullopt);
}

void OverlayViewModel::apply(SearchOutcome outcome, std::int64_t generation) {
    assertMainThread();
    if (generation != latestRequestedGeneration_) return;
    if (resultsAreStale.get()) resultsAreStale.set(false);
    if (auto* results = std::get_if<SearchOutcome::Results>(&outcome.value)) {
        state.set(ResultState{std::move(*results)});
        const auto& shown = rows();
        reanchorSelection(shown);
        std::optional<InlineCompletionPolicy::TopRow> topRow;
        if (!shown.empty())
            topRow = InlineCompletionPolicy::TopRow{shown.front().id, shown.front().name,
                                                    shown.front().path, shown.front().isApp,
                                                    shown.front().isDirectory};
        auto completion = InlineCompletionPolicy::completion(queryText.get(), topRow, isDeleting_);
        if (completion != inlineCompletion.get()) inlineCompletion.set(std::move(completion));
    } else if (auto* failure = outcome.failureIfAny()) {
        state.set(ResultState::failed(failure->message));
        if (selectedID.get()) selectedID.set(std::nullopt);
    } else {
        // Told again when it was no-match before: what the block offers follows the newest
        // query, and the view rebuilds on each applied outcome.
        state.set(ResultState::noMatches());
        if (selectedID.get()) selectedID.set(std::nullopt);
    }
}

std::string OverlayViewModel::effectiveQuery() const {
    const std::string& text = queryText.get();
    const auto& filter = activeFilter.get();
    if (!filter) return text;
    const std::string_view trimmed = trimmedBlanks(text);
    if (filter->rewritesQuery()) {
        if (trimmed.empty()) return {};
        if (trimmed.find(' ') != std::string_view::npos)
            return "contains:\"" + std::string(trimmed) + "\"";
        return "contains:" + std::string(trimmed);
    }
    const std::string token(filter->query());
    if (trimmed.empty()) return token;
    const auto parts = QueryParser::splitTopLevelOr(trimmed);
    if (parts.size() >= 2) {
        std::string joined;
        for (const auto& part : parts) {
            if (!joined.empty()) joined += " | ";
            joined += part + " " + token;
        }
        return joined;
    }
    return std::string(trimmed) + " " + token;
}

bool OverlayViewModel::currentQueryNeedsAttributes() const {
    return QueryParser::parse(effectiveQuery()).requiresAttributes();
}

void OverlayViewModel::considerRecordingSettledSearch(const std::string& text) {
    assertMainThread();
    if (queryText.get() != text) return;
    if (UnicodeText::graphemeCount(text) < 2) return;
    const auto* results = state.get().resultsIfAny();
    if (results && recentsStore_) recentsStore_->recordSearch(text, results->totalMatches, now());
}

std::string OverlayViewModel::savableQuery() const {
    return std::string(trimmedBlanks(effectiveQuery()));
}

bool OverlayViewModel::currentQueryIsSaved() const {
    const std::string query = savableQuery();
    if (query.empty() || !isQuerySaved) return false;
    return isQuerySaved(query);
}

void OverlayViewModel::toggleSaveCurrentSearch() {
    assertMainThread();
    const std::string query = savableQuery();
    if (query.empty()) return;
    if (onToggleSavedQuery) onToggleSavedQuery(query);
    modelChanged.emit();
}

} // namespace ulmaro
