#include "UlmaroAppKit/Panel/OverlaySections.h"

#include "UlmaroAppKit/Onboarding/OnboardingState.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"

namespace ulmaro {

OverlaySections OverlaySections::of(const OverlayViewModel& model,
                                    const OnboardingState* onboarding) {
    OverlaySections sections;
    if (onboarding && onboarding->isShowing()) {
        sections.body = Body::onboarding;
        return sections;
    }
    if (!model.isSearchEnabled() && !model.state.get().isFailed()) {
        sections.body = Body::preparing;
        return sections;
    }
    const bool firstRunNotices =
        model.isFirstRun.get() && !(onboarding && onboarding->isFirstRunSession());
    const bool completed = model.firstRunCompletionMessage.get().has_value();
    sections.firstRunIntro = firstRunNotices && !completed;
    sections.filterBar = model.isSearchEnabled() &&
                         (!model.queryText.get().empty() || model.activeFilter.get().has_value());
    sections.fdaPrompt = model.fdaPromptVisible.get();
    sections.cheatSheet = model.showingCheatSheet.get();
    sections.firstRunCompletion = firstRunNotices && completed;
    sections.fdaBanner = model.fdaBannerVisible.get();
    return sections;
}

} // namespace ulmaro
