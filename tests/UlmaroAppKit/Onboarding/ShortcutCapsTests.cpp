#include "UlmaroAppKit/Onboarding/ShortcutCaps.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

TEST(ShortcutCaps, PiecesCutAtPlusAndWideBeyondTwoCharacters) {
    struct Case {
        std::string display;
        std::vector<std::string> pieces;
        std::vector<bool> wide;
    };
    const std::vector<Case> cases = {
        {"Alt+Space", {"Alt", "Space"}, {true, true}},
        {"Super+K", {"Super", "K"}, {true, false}},
        {"Space", {"Space"}, {true}},
        {"Ctrl+Shift+F1", {"Ctrl", "Shift", "F1"}, {true, true, false}},
        {"Alt++Space+", {"Alt", "Space"}, {true, true}},
        {"\u2325+\u00e9\u0301", {"\u2325", "\u00e9\u0301"}, {false, false}},
        {"", {}, {}},
    };
    for (const Case& c : cases) {
        const auto pieces = ShortcutCaps::pieces(c.display);
        EXPECT_EQ(pieces, c.pieces) << c.display;
        for (std::size_t i = 0; i < pieces.size() && i < c.wide.size(); ++i)
            EXPECT_EQ(ShortcutCaps::isWide(pieces[i]), c.wide[i]) << pieces[i];
    }
}

} // namespace
} // namespace ulmaro
