#pragma once

#include "UlmaroAppKit/Shell/AppMainMenu.h"

#include <QKeySequence>

namespace ulmaro {

/// The key sequence of a main-menu item, for a window shortcut; empty for a separator.
QKeySequence appMenuShortcut(const AppMenuItem& item);

} // namespace ulmaro
