#pragma once

#include "UlmaroAppKit/Platform/SettingsStore.h"

namespace ulmaro {

/// Two remembered facts about asking for the access permission; absent reads as false.
namespace FDAPromptStore {

inline constexpr const char* askOwedKey = "app.ulmaro.fdaAskOwed";
inline constexpr const char* laterTappedKey = "app.ulmaro.fdaLaterTapped";

/// The user is still to be asked.
void markAskOwed(SettingsStore& settings);
/// Removes the key.
void clearAskOwed(SettingsStore& settings);
bool isAskOwed(const SettingsStore& settings);

/// The user chose to be asked later.
void markLaterTapped(SettingsStore& settings);
bool hasTappedLater(const SettingsStore& settings);

} // namespace FDAPromptStore
} // namespace ulmaro
