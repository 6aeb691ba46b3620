#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ulmaro {

/// The `Icon=` key of a desktop entry's "[Desktop Entry]" group: a theme icon name or an
/// absolute path; none when the group has no such key or it is empty. Localised keys
/// (`Icon[de]=`) and other groups are skipped.
std::optional<std::string> desktopEntryIcon(std::string_view contents);

} // namespace ulmaro
