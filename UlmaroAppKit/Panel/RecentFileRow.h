#pragma once

#include "UlmaroAppKit/Panel/RecentFileEntry.h"
#include "UlmaroAppKit/Search/RankedRow.h"

namespace ulmaro {

/// The row a recent file's icon is asked for: its name and path, an application exactly
/// when `isApplication` says so of its name in its folder (taken for a regular file: the
/// file system is not asked), everything else empty.
RankedRow recentFileRow(const RecentFileEntry& entry);

} // namespace ulmaro
