#pragma once

#include "UlmaroAppKit/Platform/SettingsStore.h"

#include <string_view>

namespace ulmaro {

/// Whether the first-run flow has been completed; while it has not, every launch starts
/// the flow again.
namespace OnboardingStore {

inline constexpr std::string_view completedKey = "app.ulmaro.onboardingCompleted";

/// Only a stored true counts.
bool hasCompleted(const SettingsStore& store);
void markCompleted(SettingsStore& store);

} // namespace OnboardingStore
} // namespace ulmaro
