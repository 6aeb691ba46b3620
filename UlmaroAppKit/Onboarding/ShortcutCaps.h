#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// The keys of a shortcut as the onboarding draws them, one cap each.
namespace ShortcutCaps {

/// The display text cut at "+", empty pieces dropped: "Alt+Space" gives "Alt" and "Space".
std::vector<std::string> pieces(std::string_view display);
/// A piece of more than two characters gets a long cap.
bool isWide(std::string_view piece);

} // namespace ShortcutCaps
} // namespace ulmaro
