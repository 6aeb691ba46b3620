#pragma once

#include "UlmaroAppKit/Shell/AppMainMenu.h"

#include <QKeySequence>

class QWidget;

namespace ulmaro {

/// The key sequence of a main-menu item, for a window shortcut; empty for a separator.
QKeySequence appMenuShortcut(const AppMenuItem& item);

/// The main menu's quit item (Ctrl+Q) as a shortcut of `window`: it ends the application
/// through `QCoreApplication::quit()`, whose `aboutToQuit` saves. Every window of the
/// application gets it, so Ctrl+Q quits from whichever has the keyboard.
void addQuitShortcut(QWidget& window);

} // namespace ulmaro
