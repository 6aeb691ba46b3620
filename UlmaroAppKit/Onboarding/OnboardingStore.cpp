#include "UlmaroAppKit/Onboarding/OnboardingStore.h"

namespace ulmaro::OnboardingStore {

bool hasCompleted(const SettingsStore& store) {
    return store.boolValue(completedKey).value_or(false);
}

void markCompleted(SettingsStore& store) {
    store.setBool(completedKey, true);
}

} // namespace ulmaro::OnboardingStore
