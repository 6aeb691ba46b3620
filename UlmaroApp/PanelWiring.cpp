#include "UlmaroApp/PanelWiring.h"

#include "UlmaroApp/PanelProbes.h"
#include "UlmaroApp/TestMode.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingStepView.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Panel/OverlayView.h"
#include "UlmaroAppKit/UI/Panel/PanelContent.h"

namespace ulmaro::PanelWiring {

void buildContent(OverlayPanel& panel, const std::shared_ptr<AppCoordinator>& coordinator,
                  std::shared_ptr<Preferences> preferences) {
    OverlayView* view = PanelContent::build(panel, coordinator, std::move(preferences));
    if (TestMode::probePath()) PanelProbes::install(panel, *view, *coordinator);
}

} // namespace ulmaro::PanelWiring
