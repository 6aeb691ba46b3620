// The empty panel, the offers for a query without matches, and the notices.

#include "UlmaroAppKit/Indexing/IndexCoverage.h"
#include "UlmaroAppKit/Indexing/IndexHealth.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Panel/RecentsStore.h"
#include "UlmaroKit/Platform/DataLocations.h"
#include "UlmaroKit/Platform/UnicodeText.h"

namespace ulmaro {

std::string OverlayViewModel::emptyStateHint() const {
    const auto& count = totalIndexedCount.get();
    if (!count) return "Type to search…";
    return "Type to search " + IndexHealth::count(*count) + " files";
}

std::vector<RecentSearchEntry> OverlayViewModel::recentSearches() const {
    return recentsStore_ ? recentsStore_->recentSearches() : std::vector<RecentSearchEntry>{};
}

std::vector<RecentFileEntry> OverlayViewModel::recentFiles() const {
    return recentsStore_ ? recentsStore_->recentFiles() : std::vector<RecentFileEntry>{};
}

std::vector<OverlayViewModel::EmptySelection> OverlayViewModel::emptyItems() const {
    std::vector<EmptySelection> items;
    if (!recentsStore_) return items;
    for (const auto& entry : recentsStore_->recentSearches())
        items.push_back(EmptySelection::search(entry.query));
    for (const auto& entry : recentsStore_->recentFiles())
        items.push_back(EmptySelection::file(entry.path));
    return items;
}

void OverlayViewModel::selectRecentSearch(const std::string& query) {
    updateQuery(query, std::nullopt);
}

void OverlayViewModel::selectRecentFile(const RecentFileEntry& entry) {
    assertMainThread();
    if (recentsStore_) recentsStore_->recordOpened(entry.path, entry.name, now());
    if (dismissBeforeOpen) dismissBeforeOpen();
    if (opener_) opener_(entry.path);
}

void OverlayViewModel::openSuggestion(const RankedRow& row) {
    selectRecentFile(RecentFileEntry{row.path, row.name, {}});
}

std::vector<OverlayViewModel::Rescue> OverlayViewModel::rescues() const {
    if (!state.get().isNoMatches()) return {};
    const std::string_view query = trimmedBlanks(queryText.get());
    if (UnicodeText::graphemeCount(query) < 2) return {};
    if (query.starts_with('/') || query.find_first_of(":|!") != std::string_view::npos) return {};
    std::vector<Rescue> offers;
    const auto& filter = activeFilter.get();
    if (!(filter && filter->rewritesQuery()) && hasContentIndex.get())
        offers.push_back(Rescue::searchInsideFiles);
    if (!filter && query.find(' ') == std::string_view::npos)
        offers.push_back(Rescue::searchFolderPaths);
    return offers;
}

void OverlayViewModel::applyRescue(Rescue rescue) {
    assertMainThread();
    switch (rescue) {
    case Rescue::searchInsideFiles:
        activeFilter.set(QuickFilter(QuickFilter::contents));
        break;
    case Rescue::searchFolderPaths:
        updateQuery("path:" + std::string(trimmedBlanks(queryText.get())), std::nullopt);
        break;
    }
}

std::optional<std::string> OverlayViewModel::coverageWarning() const {
    if (!state.get().isNoMatches() || indexGapFolders.get() < 1) return std::nullopt;
    return IndexCoverage{0, indexGapFolders.get()}.gapDescription();
}

std::optional<std::string> OverlayViewModel::coverageExamples() const {
    if (!coverageWarning()) return std::nullopt;
    return IndexCoverage::gapExamples(indexGapPaths.get(), DataLocations::homeDirectory().string(),
                                      2);
}

std::string OverlayViewModel::offlineNoticeText(const RankedRow& row) {
    const auto name = row.catalogName();
    return "Connect " + (name ? *name : std::string("the drive")) + " to open this.";
}

} // namespace ulmaro
