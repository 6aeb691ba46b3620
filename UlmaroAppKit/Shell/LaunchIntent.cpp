#include "UlmaroAppKit/Shell/LaunchIntent.h"

#include <algorithm>

namespace ulmaro {

bool LaunchIntent::shouldPresentPanel(bool isFirstRun, bool onboardingPending,
                                      bool isPrimaryInstance,
                                      std::span<const std::string> arguments) {
    if (!isPrimaryInstance) return false;
    if (isFirstRun || onboardingPending) return true;
    return std::any_of(arguments.begin(), arguments.end(),
                       [](const std::string& a) { return a == justInstalledFlag; });
}

} // namespace ulmaro
