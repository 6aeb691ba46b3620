#pragma once

#include "UlmaroAppKit/MenuBar/MenuSpec.h"

#include <string>
#include <vector>

namespace ulmaro::test {

/// A menu as lines to compare whole: "---" for a separator, the title, " [hint]",
/// " (off)" when disabled, " [x]" or " [ ]" when checkable; submenus indented by two.
inline void appendOutline(const std::vector<MenuItemSpec>& items, const std::string& indent,
                          std::vector<std::string>& lines) {
    for (const auto& item : items) {
        if (item.separator) {
            lines.push_back(indent + "---");
            continue;
        }
        std::string line = indent + item.title;
        if (!item.shortcutHint.empty()) line += " [" + item.shortcutHint + "]";
        if (!item.enabled) line += " (off)";
        if (item.checkable) line += item.checked ? " [x]" : " [ ]";
        lines.push_back(line);
        appendOutline(item.submenu, indent + "  ", lines);
    }
}

inline std::vector<std::string> outline(const MenuSpec& menu) {
    std::vector<std::string> lines;
    appendOutline(menu.items, "", lines);
    return lines;
}

/// The top-level item titled `title`, or null.
inline const MenuItemSpec* findItem(const MenuSpec& menu, const std::string& title) {
    for (const auto& item : menu.items)
        if (item.title == title) return &item;
    return nullptr;
}

} // namespace ulmaro::test
