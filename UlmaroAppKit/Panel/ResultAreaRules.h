#pragma once

#include "UlmaroAppKit/Panel/OverlayViewModel.h"

#include <string>
#include <string_view>

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

/// "No matches", or "No file is named that" when offers follow.
std::string noMatchesTitle(bool hasRescues);
/// "Look inside documents for “q”" / "Look for a folder called “q”", q the query without
/// blanks around it.
std::string rescueTitle(OverlayViewModel::Rescue rescue, std::string_view query);
std::string_view rescueSymbol(OverlayViewModel::Rescue rescue);

} // namespace ResultAreaRules
} // namespace ulmaro
