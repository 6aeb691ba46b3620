#pragma once

#include "UlmaroAppKit/Onboarding/OnboardingStep.h"

#include <optional>
#include <string>

namespace ulmaro {

class OnboardingViewModel;

/// What the first-run panel shows for the flow's state, read from the model, toolkit-free.
/// No step (the flow's view still on screen as it ends) shows the last page.
namespace OnboardingPage {

/// The page on screen: the step's own, try-these for none.
OnboardingStep pageFor(std::optional<OnboardingStep> step);
/// The page's title; the welcome page's is its lockup's name.
std::string title(const OnboardingViewModel& model);
/// "Ready. 1,234 files found.", "1,234 files found so far." or, without access, "Ulmaro can
/// only see part of your computer".
std::string readyTitle(const OnboardingViewModel& model);

enum class ReadyBody {
    /// Access is not granted: the callout alone.
    accessCallout,
    /// The shortcut's caps and sentence, then the coverage note.
    shortcut,
    /// No shortcut registered: the line pointing to the tray icon, then the coverage note.
    noShortcut,
};
ReadyBody readyBody(const OnboardingViewModel& model);

/// "42.0% done" while learning, "42.0% of your computer" while finding; none without a
/// percentage.
std::optional<std::string> percentLine(const OnboardingViewModel& model);

inline constexpr const char* permissionTitle = "Let Ulmaro see your files";
inline constexpr const char* permissionBody =
    "The system keeps your documents, photos and downloads hidden from apps until you allow it. "
    "Without this, Ulmaro can only find system and application files.";
inline constexpr const char* permissionRelaunch =
    "The system will ask to quit and reopen Ulmaro so the permission takes effect. Allow it — "
    "Ulmaro reopens straight away.";
inline constexpr const char* permissionNamesOnly =
    "Ulmaro reads names only — never what is inside your files.";
inline constexpr const char* allowAccessButton = "Allow Full Disk Access…";
inline constexpr const char* notNowButton = "Not now";
inline constexpr const char* calloutBody =
    "Right now it can only see system and app files — none of your documents, photos or "
    "downloads. The system hides those until you allow it.";
inline constexpr const char* calloutNote = "Opens Settings. Ulmaro re-scans once you allow it.";

} // namespace OnboardingPage
} // namespace ulmaro
