#pragma once

#include <memory>

namespace ulmaro {

class AppCoordinator;
class OverlayPanel;

/// The panel's keyboard callbacks over the coordinator's search model. GUI thread only.
namespace PanelKeyCallbacks {

/// Each holds the coordinator weakly (and the panel too, for the field's selection): once
/// the coordinator is gone it does nothing, or answers no path, false.
void install(OverlayPanel& panel, const std::shared_ptr<AppCoordinator>& coordinator);

} // namespace PanelKeyCallbacks
} // namespace ulmaro
