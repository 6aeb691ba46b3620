#pragma once

#include "UlmaroAppKit/Panel/OverlayViewModel.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// What the result area shows beside the rows, decided without a toolkit.
namespace ResultAreaRules {

/// The idle panel: nothing on a first run (no height either), the recent lists when there
/// are any, else the hint line.
enum class EmptyState { nothing, recents, hint };
EmptyState emptyState(const OverlayViewModel& model);

/// The size-and-date notice: sizes and dates are still being learnt and the effective query
/// filters on them.
bool showsAttributeNotice(const OverlayViewModel& model);

/// One status line: a symbol, a text, an optional detail, and the padding above and below
/// (18 standing alone, 8 following another line).
struct StatusLineContent {
    std::string text;
    std::string symbol;
    std::optional<std::string> detail;
    int verticalPadding = 18;
    friend bool operator==(const StatusLineContent&, const StatusLineContent&) = default;
};

/// The status lines the state shows, top to bottom: the failure, the hint of an idle panel
/// without recents, or the no-match title with the coverage warning under it. None for
/// rows, the indexing view, the recent lists or a first run.
std::vector<StatusLineContent> statusLines(const OverlayViewModel& model);

/// "No matches", or "No file is named that" when offers follow.
std::string noMatchesTitle(bool hasRescues);
/// "Look inside documents for “q”" / "Look for a folder called “q”", q the query without
/// blanks around it.
std::string rescueTitle(OverlayViewModel::Rescue rescue, std::string_view query);
std::string_view rescueSymbol(OverlayViewModel::Rescue rescue);

} // namespace ResultAreaRules
} // namespace ulmaro
