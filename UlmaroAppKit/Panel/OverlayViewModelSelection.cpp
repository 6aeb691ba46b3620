// Which result, or which item of the empty panel, the user is on.

#include "UlmaroAppKit/Panel/OverlayViewModel.h"

#include <algorithm>

namespace ulmaro {

namespace {

std::optional<std::size_t> indexOf(const std::vector<RankedRow>& rows,
                                   std::optional<std::uint32_t> id) {
    if (!id) return std::nullopt;
    const auto it =
        std::find_if(rows.begin(), rows.end(), [&](const RankedRow& row) { return row.id == *id; });
    if (it == rows.end()) return std::nullopt;
    return static_cast<std::size_t>(it - rows.begin());
}

std::size_t wrapped(std::size_t index, int delta, std::size_t count) {
    const auto n = static_cast<std::int64_t>(count);
    const auto moved = (static_cast<std::int64_t>(index) + delta % n + n) % n;
    return static_cast<std::size_t>(moved);
}

} // namespace

std::optional<RankedRow> OverlayViewModel::selectedRow() const {
    const auto& shown = rows();
    const auto index = indexOf(shown, selectedID.get());
    if (!index) return std::nullopt;
    return shown[*index];
}

std::optional<std::string> OverlayViewModel::selectedPath() const {
    if (auto row = selectedRow(); row && !isAvailable(*row)) return std::nullopt;
    auto target = actionTarget();
    if (!target) return std::nullopt;
    return std::move(target->path);
}

std::vector<RankedRow> OverlayViewModel::selectedRows() const {
    std::vector<RankedRow> chosen;
    const auto& selected = selectedID.get();
    const auto& extra = extraSelectedIDs.get();
    for (const auto& row : rows())
        if (row.id == selected || extra.contains(row.id)) chosen.push_back(row);
    return chosen;
}

void OverlayViewModel::moveSelection(int delta) {
    assertMainThread();
    const auto& shown = rows();
    if (!shown.empty()) {
        if (!isBrowsingResults.get()) isBrowsingResults.set(true);
        const std::size_t current = indexOf(shown, selectedID.get()).value_or(0);
        selectedID.set(shown[wrapped(current, delta, shown.size())].id);
        return;
    }
    if (!queryText.get().empty()) return;
    const auto items = emptyItems();
    if (items.empty()) return;
    std::size_t next = delta >= 0 ? 0 : items.size() - 1;
    if (const auto& highlighted = emptySelection.get()) {
        const auto it = std::find(items.begin(), items.end(), *highlighted);
        if (it != items.end())
            next = wrapped(static_cast<std::size_t>(it - items.begin()), delta, items.size());
    }
    emptySelection.set(items[next]);
}

void OverlayViewModel::moveSelectionCollapsing(int delta) {
    clearExtraSelection();
    moveSelection(delta);
}

void OverlayViewModel::extendSelectionTo(std::uint32_t id) {
    assertMainThread();
    const auto& shown = rows();
    const auto anchor = indexOf(shown, selectedID.get());
    const auto target = indexOf(shown, id);
    if (!anchor || !target) return;
    std::set<std::uint32_t> range;
    for (std::size_t i = std::min(*anchor, *target); i <= std::max(*anchor, *target); ++i)
        if (i != *anchor) range.insert(shown[i].id);
    extraSelectedIDs.set(std::move(range));
}

void OverlayViewModel::extendSelectionBy(int delta) {
    assertMainThread();
    const auto& shown = rows();
    const auto anchor = indexOf(shown, selectedID.get());
    if (!anchor) return;
    const auto target = static_cast<std::int64_t>(*anchor) + delta;
    if (target < 0 || target >= static_cast<std::int64_t>(shown.size())) return;
    extendSelectionTo(shown[static_cast<std::size_t>(target)].id);
}

void OverlayViewModel::toggleSelection(std::uint32_t id) {
    assertMainThread();
    auto extra = extraSelectedIDs.get();
    if (selectedID.get() == id) {
        if (extra.empty()) return;
        // The first extra row in list order takes over, so the choice does not depend on
        // how IDs happen to sort.
        std::uint32_t successor = *extra.begin();
        for (const auto& row : rows())
            if (extra.contains(row.id)) {
                successor = row.id;
                break;
            }
        extra.erase(successor);
        extraSelectedIDs.set(std::move(extra));
        selectedID.set(successor);
        return;
    }
    if (!extra.erase(id)) extra.insert(id);
    extraSelectedIDs.set(std::move(extra));
}

void OverlayViewModel::selectAllRows() {
    assertMainThread();
    const auto& shown = rows();
    if (shown.empty()) return;
    if (!selectedID.get()) selectedID.set(shown.front().id);
    std::set<std::uint32_t> all;
    for (const auto& row : shown)
        if (row.id != selectedID.get()) all.insert(row.id);
    extraSelectedIDs.set(std::move(all));
}

void OverlayViewModel::clearExtraSelection() {
    assertMainThread();
    if (!extraSelectedIDs.get().empty()) extraSelectedIDs.set({});
}

void OverlayViewModel::reanchorSelection(const std::vector<RankedRow>& newRows) {
    assertMainThread();
    std::set<std::uint32_t> ids;
    for (const auto& row : newRows)
        ids.insert(row.id);
    if (!extraSelectedIDs.get().empty()) {
        std::set<std::uint32_t> kept;
        for (auto id : extraSelectedIDs.get())
            if (ids.contains(id)) kept.insert(id);
        if (kept != extraSelectedIDs.get()) extraSelectedIDs.set(std::move(kept));
    }
    const auto& selected = selectedID.get();
    if (selected && ids.contains(*selected)) return;
    std::optional<std::uint32_t> first;
    if (!newRows.empty()) first = newRows.front().id;
    if (first != selected) selectedID.set(first);
}

void OverlayViewModel::select(const RankedRow& row) {
    assertMainThread();
    selectedID.set(row.id);
}

void OverlayViewModel::select(const RecentFileEntry& entry) {
    assertMainThread();
    emptySelection.set(EmptySelection::file(entry.path));
}

} // namespace ulmaro
