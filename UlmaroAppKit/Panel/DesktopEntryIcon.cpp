#include "UlmaroAppKit/Panel/DesktopEntryIcon.h"

namespace ulmaro {
namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

} // namespace

std::optional<std::string> desktopEntryIcon(std::string_view contents) {
    bool inEntry = false;
    while (!contents.empty()) {
        const auto end = contents.find('\n');
        const std::string_view line = trimmed(contents.substr(0, end));
        contents = end == std::string_view::npos ? std::string_view() : contents.substr(end + 1);
        if (line.starts_with('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry) continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos || trimmed(line.substr(0, equals)) != "Icon") continue;
        const std::string_view value = trimmed(line.substr(equals + 1));
        if (value.empty()) return std::nullopt;
        return std::string(value);
    }
    return std::nullopt;
}

} // namespace ulmaro
