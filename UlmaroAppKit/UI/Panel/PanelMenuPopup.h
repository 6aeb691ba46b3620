#pragma once

#include "UlmaroAppKit/Panel/PanelMenu.h"

#include <vector>

class QMenu;
class QWidget;

namespace ulmaro {

/// The menu's items as a `QMenu` (without shortcuts); the caller shows it.
QMenu* makePanelMenu(const std::vector<PanelMenuItem>& items, QWidget* parent);

} // namespace ulmaro
