#include "UlmaroAppKit/UI/ResultArea.h"

#include "UlmaroAppKit/Panel/IconResolver.h"
#include "UlmaroAppKit/Panel/OverlayLayout.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/UI/IndexingStatusView.h"
#include "UlmaroAppKit/UI/QtIconSource.h"
#include "UlmaroAppKit/UI/RecentRowViews.h"
#include "UlmaroAppKit/UI/ResultRowView.h"
#include "UlmaroAppKit/UI/StatusLine.h"

#include <QVBoxLayout>

namespace ulmaro {

ResultArea::ResultArea(std::shared_ptr<OverlayViewModel> model, std::shared_ptr<IconResolver> icons,
                       std::function<void()> onDismiss, QWidget* parent)
    : QWidget(parent), model_(std::move(model)), icons_(std::move(icons)),
      onDismiss_(std::move(onDismiss)) {
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    subscriptions_.push_back(model_->state.subscribe([this](const auto&) { rebuild(); }));
    subscriptions_.push_back(model_->selectedID.subscribe([this](const auto&) { rebuild(); }));
    subscriptions_.push_back(
        model_->totalIndexedCount.subscribe([this](const auto&) { rebuild(); }));
    subscriptions_.push_back(model_->isFirstRun.subscribe([this](const auto&) { rebuild(); }));
    rebuild();
}

ResultArea::~ResultArea() = default;

void ResultArea::rebuild() {
    delete stateView_;
    stateView_ = makeStateView();
    layout_->addWidget(stateView_);
}

QWidget* ResultArea::makeStateView() {
    const auto& state = model_->state.get();
    if (const auto* indexing = state.indexingIfAny())
        return new IndexingStatusView(indexing->filesSoFar, onDismiss_, this);
    if (const auto* failure = state.failureIfAny())
        return new StatusLine(failure->message, "exclamationmark.triangle", std::nullopt, 18, this);
    if (state.isNoMatches())
        return new StatusLine(model_->rescues().empty() ? "No matches" : "No file is named that",
                              "questionmark.circle", std::nullopt, 18, this);
    if (const auto* results = state.resultsIfAny()) {
        auto* list = new QWidget(this);
        auto* rows = new QVBoxLayout(list);
        const int padding = int(OverlayLayout::resultListPadding);
        rows->setContentsMargins(padding, padding, padding, padding);
        rows->setSpacing(int(OverlayLayout::resultRowSpacing));
        int previews = 0;
        for (const RankedRow& row : results->rows) {
            previews += row.contentMatch.has_value();
            rows->addWidget(new ResultRowView(row, model_->selectedID.get() == row.id,
                                              QtIconImage::of(icons_->icon(row).get()), list));
        }
        rows->addStretch(1);
        list->setFixedHeight(
            int(OverlayLayout::resultsHeight(int(results->rows.size()), previews)));
        return list;
    }
    return makeEmptyState();
}

QWidget* ResultArea::makeEmptyState() {
    if (model_->isFirstRun.get()) {
        auto* nothing = new QWidget(this);
        nothing->setFixedHeight(0);
        return nothing;
    }
    const auto searches = model_->recentSearches();
    const auto files = model_->recentFiles();
    if (searches.empty() && files.empty())
        return new StatusLine(model_->emptyStateHint(), "sparkle.magnifyingglass", std::nullopt, 18,
                              this);
    auto* lists = new QWidget(this);
    auto* layout = new QVBoxLayout(lists);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(2);
    for (const auto& entry : searches)
        layout->addWidget(new RecentSearchRowView(
            entry, false, [this, query = entry.query] { model_->selectRecentSearch(query); },
            lists));
    for (const auto& entry : files)
        layout->addWidget(new RecentFileRowView(entry, false, icons_, nullptr, lists));
    return lists;
}

} // namespace ulmaro
