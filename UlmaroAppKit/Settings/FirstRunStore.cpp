#include "UlmaroAppKit/Settings/FirstRunStore.h"

namespace ulmaro::FirstRunStore {

bool hasCompletedFirstRun(const SettingsStore& store) {
    return store.boolValue(firstRunCompletedKey).value_or(false);
}

void markFirstRunCompleted(SettingsStore& store) {
    store.setBool(firstRunCompletedKey, true);
}

} // namespace ulmaro::FirstRunStore
