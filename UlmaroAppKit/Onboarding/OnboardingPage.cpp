#include "UlmaroAppKit/Onboarding/OnboardingPage.h"

#include "UlmaroAppKit/Indexing/IndexHealth.h"
#include "UlmaroAppKit/Onboarding/OnboardingCopy.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"

namespace ulmaro::OnboardingPage {

OnboardingStep pageFor(std::optional<OnboardingStep> step) {
    return step.value_or(OnboardingStep::tryThese);
}

std::string title(const OnboardingViewModel& model) {
    switch (pageFor(model.step.get())) {
    case OnboardingStep::welcome:
        return std::string(OnboardingCopy::welcomeTitle);
    case OnboardingStep::permission:
        return permissionTitle;
    case OnboardingStep::externalDrives:
        return std::string(OnboardingCopy::drivesTitle);
    case OnboardingStep::indexing:
        return model.progressTitle();
    case OnboardingStep::ready:
        return readyTitle(model);
    case OnboardingStep::contentFolders:
        return std::string(OnboardingCopy::contentTitle);
    case OnboardingStep::howToSearch:
        return std::string(OnboardingCopy::searchTitle);
    case OnboardingStep::tryThese:
        break;
    }
    return std::string(model.hasTryTheseSuggestions() ? OnboardingCopy::tryTheseHeader
                                                      : OnboardingCopy::allSetTitle);
}

std::string readyTitle(const OnboardingViewModel& model) {
    if (!model.fullDiskAccessGranted.get()) return "Ulmaro can only see part of your computer";
    const std::string count = IndexHealth::count(model.readyCount());
    if (model.indexComplete.get()) return "Ready. " + count + " files found.";
    return count + " files found so far.";
}

ReadyBody readyBody(const OnboardingViewModel& model) {
    if (!model.fullDiskAccessGranted.get()) return ReadyBody::accessCallout;
    return model.hotkeyRegistered() ? ReadyBody::shortcut : ReadyBody::noShortcut;
}

std::optional<std::string> percentLine(const OnboardingViewModel& model) {
    auto percent = model.progressPercentText();
    if (!percent) return std::nullopt;
    const bool learning = model.scanPhase() == OnboardingViewModel::ScanPhase::learning;
    return *percent + (learning ? " done" : " of your computer");
}

} // namespace ulmaro::OnboardingPage
