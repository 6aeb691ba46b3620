#include "UlmaroAppKit/Onboarding/OnboardingLayout.h"

#include <algorithm>

namespace ulmaro::OnboardingLayout {

Size contentSize(std::optional<OnboardingStep>) {
    return {contentWidth, contentHeight};
}

double contentFolderListHeight(int rows) {
    const int shown = std::clamp(rows, 0, maxContentFolderRowsShown);
    return shown * contentFolderRowHeight + std::max(shown - 1, 0) * contentFolderRowSpacing;
}

} // namespace ulmaro::OnboardingLayout
