#include "UlmaroAppKit/Onboarding/ShortcutCaps.h"

#include "UlmaroKit/Platform/UnicodeText.h"

namespace ulmaro::ShortcutCaps {

std::vector<std::string> pieces(std::string_view display) {
    std::vector<std::string> out;
    while (!display.empty()) {
        const auto plus = display.find('+');
        const auto piece = display.substr(0, plus);
        if (!piece.empty()) out.emplace_back(piece);
        if (plus == std::string_view::npos) break;
        display.remove_prefix(plus + 1);
    }
    return out;
}

bool isWide(std::string_view piece) {
    return UnicodeText::graphemeCount(piece) > 2;
}

} // namespace ulmaro::ShortcutCaps
