#include "UlmaroAppKit/Indexing/FDAPromptStore.h"

namespace ulmaro::FDAPromptStore {

void markAskOwed(SettingsStore& settings) {
    settings.setBool(askOwedKey, true);
}

void clearAskOwed(SettingsStore& settings) {
    settings.remove(askOwedKey);
}

bool isAskOwed(const SettingsStore& settings) {
    return settings.boolValue(askOwedKey).value_or(false);
}

void markLaterTapped(SettingsStore& settings) {
    settings.setBool(laterTappedKey, true);
}

bool hasTappedLater(const SettingsStore& settings) {
    return settings.boolValue(laterTappedKey).value_or(false);
}

} // namespace ulmaro::FDAPromptStore
