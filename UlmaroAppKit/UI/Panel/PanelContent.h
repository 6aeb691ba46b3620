#pragma once

#include <memory>

namespace ulmaro {

class AppCoordinator;
class OverlayPanel;
class OverlayView;
class Preferences;

/// What ties the panel window's face to the coordinator, as the application builds it.
/// GUI thread only.
namespace PanelContent {

/// Puts the panel's view over the coordinator's models into `panel`, the first-run steps
/// drawn inside it with the view's own icons. Its buttons hold the coordinator; the
/// onboarding ones look up the flow when they run. Returns the view (the panel owns it).
OverlayView* build(OverlayPanel& panel, const std::shared_ptr<AppCoordinator>& coordinator,
                   std::shared_ptr<Preferences> preferences);

} // namespace PanelContent
} // namespace ulmaro
