#include "UlmaroApp/PanelWiring.h"

#include "UlmaroApp/PanelProbes.h"
#include "UlmaroApp/TestMode.h"
#include "UlmaroAppKit/UI/PanelContent.h"

namespace ulmaro::PanelWiring {

void buildContent(OverlayPanel& panel, const std::shared_ptr<AppCoordinator>& coordinator,
                  std::shared_ptr<Preferences> preferences) {
    OverlayView* view = PanelContent::build(panel, coordinator, std::move(preferences));
    if (TestMode::probePath()) PanelProbes::install(panel, *view, *coordinator);
}

} // namespace ulmaro::PanelWiring
