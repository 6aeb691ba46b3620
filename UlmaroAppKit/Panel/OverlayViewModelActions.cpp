// What the user does with the selected result or recent file.

#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Panel/RecentsStore.h"
#include "UlmaroAppKit/Platform/MainQueue.h"
#include "UlmaroAppKit/Platform/ResultActionPerforming.h"
#include "UlmaroAppKit/Search/SearchEngineProtocol.h"

#include <algorithm>
#include <sys/stat.h>

namespace ulmaro {

namespace {

/// Follows links, so a link to a folder opens a terminal in it.
bool isDirectoryOnDisk(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

/// The path without its last component, by bytes: "/a/b.txt" gives "/a", "/b" gives "/",
/// a name without a folder gives "".
std::string parentFolder(std::string_view path) {
    while (path.size() > 1 && path.ends_with('/'))
        path.remove_suffix(1);
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    if (slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

bool liesAtOrUnder(std::string_view path, std::string_view top) {
    if (path == top) return true;
    if (top.empty() || !path.starts_with(top)) return false;
    return top.ends_with('/') || path[top.size()] == '/';
}

} // namespace

bool OverlayViewModel::isAvailable(const RankedRow& row) {
    return row.origin.isMac() || row.origin.catalog->isOnline;
}

std::optional<OverlayViewModel::ActionTarget> OverlayViewModel::actionTarget() const {
    if (auto row = selectedRow()) return ActionTarget{row->path, row->name, row->isDirectory};
    const auto& highlighted = emptySelection.get();
    if (!queryText.get().empty() || !highlighted ||
        highlighted->kind != EmptySelection::Kind::file || !recentsStore_)
        return std::nullopt;
    for (const auto& entry : recentsStore_->recentFiles())
        if (entry.path == highlighted->text)
            return ActionTarget{entry.path, entry.name, isDirectoryOnDisk(entry.path)};
    return std::nullopt;
}

void OverlayViewModel::recordCommittedSearchIfNeeded() {
    assertMainThread();
    const auto* results = state.get().resultsIfAny();
    if (queryText.get().empty() || !results || !recentsStore_) return;
    recentsStore_->recordSearch(effectiveQuery(), results->totalMatches, now());
}

bool OverlayViewModel::openSelected() {
    assertMainThread();
    auto row = selectedRow();
    if (!row) return openSelectedEmptyItem();
    if (!isAvailable(*row)) {
        offlineNotice.set(offlineNoticeText(*row));
        return false;
    }
    recordCommittedSearchIfNeeded();
    if (recentsStore_) recentsStore_->recordOpened(row->path, row->name, now());
    if (onOpenedPath) onOpenedPath(row->path);
    if (dismissBeforeOpen) dismissBeforeOpen();
    if (opener_) opener_(row->path);
    return true;
}

bool OverlayViewModel::openSelectedEmptyItem() {
    const auto highlighted = emptySelection.get();
    if (!highlighted) return false;
    if (highlighted->kind == EmptySelection::Kind::search) {
        updateQuery(highlighted->text, std::nullopt);
        return false;
    }
    if (!recentsStore_) return false;
    const auto& files = recentsStore_->recentFiles();
    const auto it = std::find_if(files.begin(), files.end(), [&](const RecentFileEntry& entry) {
        return entry.path == highlighted->text;
    });
    if (it == files.end()) return false;
    selectRecentFile(RecentFileEntry(*it));
    return true;
}

bool OverlayViewModel::revealSelected() {
    assertMainThread();
    if (auto row = selectedRow(); row && !isAvailable(*row)) {
        if (onRevealInCatalog) onRevealInCatalog(*row);
        return true;
    }
    const auto target = actionTarget();
    if (!target) return false;
    recordCommittedSearchIfNeeded();
    actions_->reveal(target->path);
    return true;
}

bool OverlayViewModel::copySelectedPath() {
    assertMainThread();
    const auto target = actionTarget();
    if (!target) return false;
    actions_->copyToPasteboard(target->path);
    return true;
}

bool OverlayViewModel::copySelectedName() {
    assertMainThread();
    const auto target = actionTarget();
    if (!target) return false;
    actions_->copyToPasteboard(target->name);
    return true;
}

bool OverlayViewModel::openTerminalAtSelected() {
    assertMainThread();
    const auto target = actionTarget();
    if (!target) return false;
    if (auto row = selectedRow(); row && !isAvailable(*row)) {
        offlineNotice.set(offlineNoticeText(*row));
        return false;
    }
    recordCommittedSearchIfNeeded();
    const std::string folder = target->isDirectory ? target->path : parentFolder(target->path);
    if (folder.empty()) return false;
    return actions_->openTerminal(folder);
}

bool OverlayViewModel::findCopiesOfSelected() {
    assertMainThread();
    const auto row = selectedRow();
    if (!row || !engine_) return false;
    const std::int64_t generation = ++latestRequestedGeneration_;
    std::weak_ptr<OverlayViewModel> weak = weak_from_this();
    std::shared_ptr<MainQueue> queue = mainQueue_;
    engine_->findCopies(
        row->id, row->path, [weak, queue, generation, name = row->name](SearchOutcome outcome) {
            queue->post([weak, generation, name, outcome = std::move(outcome)]() mutable {
                if (auto self = weak.lock())
                    self->applyCopies(std::move(outcome), generation, name);
            });
        });
    return true;
}

void OverlayViewModel::applyCopies(SearchOutcome outcome, std::int64_t generation,
                                   const std::string& name) {
    assertMainThread();
    if (generation != latestRequestedGeneration_) return;
    if (resultsAreStale.get()) resultsAreStale.set(false);
    if (auto* results = std::get_if<SearchOutcome::Results>(&outcome.value)) {
        const std::int64_t total = results->totalMatches;
        state.set(ResultState{std::move(*results)});
        reanchorSelection(rows());
        copiesContext.set(total == 1 ? "1 other copy of " + name
                                     : std::to_string(total) + " other copies of " + name);
        return;
    }
    state.set(ResultState::noMatches());
    if (selectedID.get()) selectedID.set(std::nullopt);
    copiesContext.set("No other copies of " + name);
}

bool OverlayViewModel::trashSelected() {
    assertMainThread();
    const auto row = selectedRow();
    if (!row || !isAvailable(*row)) return false;
    if (!actions_->trash(row->path)) return false;
    removeRowLocally(row->path);
    return true;
}

void OverlayViewModel::removeRowLocally(const std::string& path) {
    assertMainThread();
    const auto* results = state.get().resultsIfAny();
    if (!results) return;
    // A trashed folder takes what is inside it along; left in the list, those rows would
    // look openable.
    std::vector<RankedRow> kept;
    kept.reserve(results->rows.size());
    for (const auto& row : results->rows)
        if (!liesAtOrUnder(row.path, path)) kept.push_back(row);
    if (kept.size() == results->rows.size()) return;
    if (kept.empty()) {
        state.set(ResultState::noMatches());
        if (selectedID.get()) selectedID.set(std::nullopt);
        return;
    }
    const std::int64_t total = std::max<std::int64_t>(0, results->totalMatches - 1);
    const double took = results->took;
    state.set(ResultState::results(std::move(kept), total, took));
    const auto& shown = rows();
    const auto& selected = selectedID.get();
    if (selected && std::none_of(shown.begin(), shown.end(),
                                 [&](const RankedRow& row) { return row.id == *selected; }))
        selectedID.set(shown.front().id);
}

std::vector<std::string> OverlayViewModel::applicationsForSelected() {
    assertMainThread();
    const auto row = selectedRow();
    if (!row) return {};
    return actions_->applications(row->path);
}

int OverlayViewModel::copySelectedPaths() {
    assertMainThread();
    const auto chosen = selectedRows();
    if (chosen.empty()) return 0;
    std::string text;
    for (const auto& row : chosen) {
        if (!text.empty()) text += '\n';
        text += row.path;
    }
    actions_->copyToPasteboard(text);
    return static_cast<int>(chosen.size());
}

int OverlayViewModel::revealSelectedRows() {
    assertMainThread();
    const auto chosen = selectedRows();
    std::vector<std::string> paths;
    for (const auto& row : chosen)
        if (isAvailable(row)) paths.push_back(row.path);
    if (paths.empty()) {
        if (chosen.empty()) return 0;
        if (onRevealInCatalog) onRevealInCatalog(chosen.front());
        return 1;
    }
    recordCommittedSearchIfNeeded();
    actions_->revealAll(paths);
    return static_cast<int>(paths.size());
}

int OverlayViewModel::trashSelectedRows() {
    assertMainThread();
    int trashed = 0;
    for (const auto& row : selectedRows())
        if (isAvailable(row) && actions_->trash(row.path)) ++trashed;
    if (trashed > 0) clearExtraSelection();
    return trashed;
}

int OverlayViewModel::openSelectedRows(const std::string& application) {
    assertMainThread();
    std::vector<std::string> paths;
    for (const auto& row : selectedRows())
        if (isAvailable(row)) paths.push_back(row.path);
    if (paths.empty()) return 0;
    recordCommittedSearchIfNeeded();
    actions_->open(paths, application);
    return static_cast<int>(paths.size());
}

bool OverlayViewModel::open(const RankedRow& row) {
    select(row);
    return openSelected();
}

bool OverlayViewModel::reveal(const RankedRow& row) {
    select(row);
    return revealSelected();
}

bool OverlayViewModel::findCopies(const RankedRow& row) {
    select(row);
    return findCopiesOfSelected();
}

bool OverlayViewModel::copyPath(const RankedRow& row) {
    select(row);
    return copySelectedPath();
}

bool OverlayViewModel::copyName(const RankedRow& row) {
    select(row);
    return copySelectedName();
}

bool OverlayViewModel::trash(const RankedRow& row) {
    select(row);
    return trashSelected();
}

bool OverlayViewModel::reveal(const RecentFileEntry& entry) {
    select(entry);
    return revealSelected();
}

bool OverlayViewModel::copyPath(const RecentFileEntry& entry) {
    select(entry);
    return copySelectedPath();
}

bool OverlayViewModel::copyName(const RecentFileEntry& entry) {
    select(entry);
    return copySelectedName();
}

bool OverlayViewModel::openTerminal(const RecentFileEntry& entry) {
    select(entry);
    return openTerminalAtSelected();
}

} // namespace ulmaro
