#pragma once

#include "UlmaroAppKit/Panel/PanelKeyPress.h"

class QKeyEvent;

namespace ulmaro {

/// The toolkit-free form of a Qt key press: Ctrl, Alt, Shift and Meta (Super on X11) as
/// they are; letters, digits (the keypad's too) and Space as the characters they type.
PanelKeyPress panelKeyPress(const QKeyEvent& event);

} // namespace ulmaro
