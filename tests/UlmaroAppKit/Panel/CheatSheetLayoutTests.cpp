#include "UlmaroAppKit/Panel/CheatSheetLayout.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ulmaro {
namespace {

// Groups whose weights (entries + title) are the given numbers, titled "0", "1", …
std::vector<SearchSyntax::Group> weighted(std::vector<int> weights) {
    std::vector<SearchSyntax::Group> groups;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        SearchSyntax::Group group{std::to_string(i), "", {}};
        for (int e = 1; e < weights[i]; ++e)
            group.entries.push_back({std::to_string(e), "", std::nullopt});
        groups.push_back(std::move(group));
    }
    return groups;
}

std::vector<std::string> titles(const std::vector<SearchSyntax::Group>& groups) {
    std::vector<std::string> out;
    for (const auto& group : groups)
        out.push_back(group.title);
    return out;
}

TEST(CheatSheetLayout, SplitKeepsTheSmallestDifferenceAndTheSmallerKOnATie) {
    using Titles = std::vector<std::string>;
    const struct Case {
        std::vector<int> weights;
        Titles left, right;
        int searchRows;
    } cases[] = {
        {{3, 3}, {"0"}, {"1"}, 2},
        {{2, 2, 2, 2}, {"0", "1"}, {"2", "3"}, 2},
        {{1, 2, 1}, {"0"}, {"1", "2"}, 1}, // k = 1 and k = 2 both differ by 2
        {{4}, {"0"}, {}, 3},
        {{}, {}, {}, 0},
        {{6, 1, 1, 1}, {"0"}, {"1", "2", "3"}, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.weights));
        const auto groups = weighted(c.weights);
        const auto columns = CheatSheetLayout::columns(groups);
        EXPECT_EQ(titles(columns.left), c.left);
        EXPECT_EQ(titles(columns.right), c.right);
        EXPECT_EQ(CheatSheetLayout::searchRowCount(groups), c.searchRows);
    }
}

TEST(CheatSheetLayout, TheRealTablesSplitTwoAgainstFourAndScroll) {
    const auto& groups = SearchSyntax::groups();
    const auto columns = CheatSheetLayout::columns(groups);
    EXPECT_EQ(titles(columns.left), (std::vector<std::string>{"By name", "By kind"}));
    EXPECT_EQ(columns.right.size(), 4u);
    EXPECT_EQ(CheatSheetLayout::searchRowCount(groups), 7);
    // 118 + 23 × 7 + 19 × (13 + 1) = 545, held at 540.
    EXPECT_EQ(CheatSheetLayout::height(groups, SearchSyntax::shortcuts().size(),
                                       SearchSyntax::filterShortcuts().size()),
              540);
    // The summon text does not change the row count, so neither the height.
    EXPECT_EQ(SearchSyntax::shortcuts("Ctrl+Shift+Alt+Super+F12").size(),
              SearchSyntax::shortcuts().size());
}

TEST(CheatSheetLayout, Heights) {
    const struct {
        int searchRows, keyRows, height;
    } cases[] = {{3, 5, 282}, {0, 0, 118}, {7, 14, 540}, {7, 13, 526}, {40, 40, 540}};
    for (const auto& c : cases)
        EXPECT_EQ(CheatSheetLayout::height(c.searchRows, c.keyRows), c.height)
            << c.searchRows << " " << c.keyRows;
    // Key rows are the longer shortcut column plus its title.
    EXPECT_EQ(CheatSheetLayout::height(weighted({3, 2}), 4, 2), 118 + 23 * 2 + 19 * 5);
    EXPECT_EQ(CheatSheetLayout::height(weighted({3, 2}), 2, 4), 118 + 23 * 2 + 19 * 5);
}

} // namespace
} // namespace ulmaro
