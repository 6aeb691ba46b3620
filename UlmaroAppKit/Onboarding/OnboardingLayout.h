#pragma once

#include "UlmaroAppKit/Onboarding/OnboardingStep.h"

#include <optional>

namespace ulmaro {

/// The first-run flow's geometry, in logical pixels (views set fonts by pixel size). Every
/// step has the same outline, so switching steps never resizes the panel.
namespace OnboardingLayout {

inline constexpr double panelWidth = 680;
inline constexpr double panelHorizontalPadding = 28;
inline constexpr double contentWidth = 624;
inline constexpr double contentHeight = 320;
inline constexpr double titleZoneHeight = 62;
inline constexpr double bodyZoneHeight = 206;
inline constexpr double actionZoneHeight = 52;
/// The widest a paragraph of running text gets.
inline constexpr double measure = 430;
inline constexpr double logoSize = 76;
inline constexpr double lockupGap = 22;
inline constexpr double contentFolderRowHeight = 27;
inline constexpr double contentFolderRowSpacing = 4;
/// The content-folder list scrolls beyond this many rows.
inline constexpr int maxContentFolderRowsShown = 3;

namespace Space {
inline constexpr double sm = 8;
inline constexpr double md = 16;
inline constexpr double lg = 24;
inline constexpr double xl = 40;
} // namespace Space

namespace TypeScale {
inline constexpr double hero = 40;
inline constexpr double title = 22;
inline constexpr double body = 13;
inline constexpr double caption = 11;
} // namespace TypeScale

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

/// The same for every step and for none.
Size contentSize(std::optional<OnboardingStep> step);
/// Grows with the first three rows, then stays; no rows (or a negative count) is 0.
double contentFolderListHeight(int rows);

} // namespace OnboardingLayout
} // namespace ulmaro
