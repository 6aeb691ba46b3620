#pragma once

#include <memory>

namespace ulmaro {

class AppCoordinator;
class OverlayPanel;
class Preferences;

/// What ties the panel window to the coordinator. GUI thread only.
namespace PanelWiring {

/// The panel's face as `PanelContent::build` makes it, and in test mode its probes.
void buildContent(OverlayPanel& panel, const std::shared_ptr<AppCoordinator>& coordinator,
                  std::shared_ptr<Preferences> preferences);

} // namespace PanelWiring
} // namespace ulmaro
