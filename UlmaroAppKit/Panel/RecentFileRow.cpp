#include "UlmaroAppKit/Panel/RecentFileRow.h"

#include "UlmaroKit/Scanning/AppRule.h"

#include <string_view>

namespace ulmaro {

RankedRow recentFileRow(const RecentFileEntry& entry) {
    RankedRow row;
    row.name = entry.name;
    row.path = entry.path;
    const std::string_view path = entry.path;
    const auto slash = path.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
    const auto parentSlash = folder.rfind('/');
    const std::string_view parentName =
        parentSlash == std::string_view::npos ? folder : folder.substr(parentSlash + 1);
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    row.isApp = isApplication(name, EntryKind::regularFile, parentName);
    return row;
}

} // namespace ulmaro
