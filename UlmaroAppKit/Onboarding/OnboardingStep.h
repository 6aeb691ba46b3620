#pragma once

#include <array>
#include <optional>

namespace ulmaro {

/// One step of the first-run flow, in the order they can appear. The raw values are
/// stable: views and the shell may keep them.
enum class OnboardingStep : int {
    welcome = 1,
    permission = 2,
    externalDrives = 3,
    indexing = 4,
    ready = 5,
    contentFolders = 6,
    howToSearch = 7,
    tryThese = 8,
};

inline constexpr std::array<OnboardingStep, 8> allOnboardingSteps = {
    OnboardingStep::welcome,     OnboardingStep::permission, OnboardingStep::externalDrives,
    OnboardingStep::indexing,    OnboardingStep::ready,      OnboardingStep::contentFolders,
    OnboardingStep::howToSearch, OnboardingStep::tryThese,
};

/// The step with that raw value; none outside 1…8.
constexpr std::optional<OnboardingStep> onboardingStepFromRaw(int raw) {
    if (raw < 1 || raw > 8) return std::nullopt;
    return static_cast<OnboardingStep>(raw);
}

constexpr int rawValue(OnboardingStep step) {
    return static_cast<int>(step);
}

} // namespace ulmaro
