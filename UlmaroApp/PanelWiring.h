#pragma once

#include <memory>

namespace ulmaro {

class AppCoordinator;
class OverlayPanel;
class Preferences;

/// What ties the panel window to the coordinator. GUI thread only.
namespace PanelWiring {

/// The panel's view over the coordinator's models, the first-run steps drawn inside it. Its
/// buttons hold the coordinator; the onboarding ones look up the flow when they run.
void buildContent(OverlayPanel& panel, const std::shared_ptr<AppCoordinator>& coordinator,
                  std::shared_ptr<Preferences> preferences);

} // namespace PanelWiring
} // namespace ulmaro
