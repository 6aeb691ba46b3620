#pragma once

#include "UlmaroAppKit/Panel/SearchSyntax.h"

#include <span>
#include <vector>

namespace ulmaro {

/// How the cheat sheet splits and sizes its tables, kept apart from the toolkit.
namespace CheatSheetLayout {

struct Columns {
    std::vector<SearchSyntax::Group> left;
    std::vector<SearchSyntax::Group> right;
};

/// The groups in two columns of nearly equal lines (a group's entries plus its title): the
/// first k groups go left, k chosen for the smallest difference, the smaller k on a tie. A
/// single group goes left.
Columns columns(std::span<const SearchSyntax::Group> groups);

/// Entry lines of the longer column (titles not counted).
int searchRowCount(std::span<const SearchSyntax::Group> groups);

/// The sheet's height for its tables: chrome, search rows and key rows (the longer of the
/// two shortcut columns plus its title), at most 540; taller content scrolls.
int height(int searchRows, int keyRows);
int height(std::span<const SearchSyntax::Group> groups, std::size_t shortcutRows,
           std::size_t filterRows);

} // namespace CheatSheetLayout
} // namespace ulmaro
