#pragma once

#include "UlmaroAppKit/Platform/SettingsStore.h"

namespace ulmaro {

/// The first-run flag, in whichever store the caller keeps it.
namespace FirstRunStore {

inline constexpr std::string_view firstRunCompletedKey = "app.ulmaro.firstRunCompleted";

/// Only a stored true counts.
bool hasCompletedFirstRun(const SettingsStore& store);
void markFirstRunCompleted(SettingsStore& store);

} // namespace FirstRunStore
} // namespace ulmaro
