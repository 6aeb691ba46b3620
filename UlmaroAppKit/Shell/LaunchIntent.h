#pragma once

#include <span>
#include <string>
#include <string_view>

namespace ulmaro {

/// Whether the panel opens by itself when the application starts.
struct LaunchIntent {
    /// The installer's launch argument: show the panel at once.
    static constexpr std::string_view justInstalledFlag = "--just-installed";

    /// First match wins: a later copy never; a first run or unfinished onboarding always;
    /// otherwise only when one argument is exactly the flag.
    static bool shouldPresentPanel(bool isFirstRun, bool onboardingPending, bool isPrimaryInstance,
                                   std::span<const std::string> arguments);
};

} // namespace ulmaro
