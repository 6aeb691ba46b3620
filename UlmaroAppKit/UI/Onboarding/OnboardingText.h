#pragma once

#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <string_view>

class QLabel;
class QWidget;

namespace ulmaro {

/// The first-run flow's text pieces. GUI thread only.
namespace OnboardingText {

struct Style {
    double pixels = 13;
    Theme::Weight weight = Theme::Weight::regular;
    Theme::Level level = Theme::Level::primary;
    Theme::Design design = Theme::Design::standard;
};

/// A plain-text label in `style`; `wraps` breaks it over lines, centred.
QLabel* label(std::string_view text, Style style, bool wraps = false, QWidget* parent = nullptr);
/// Gives `label` the text colour of `level`.
void setLevel(QLabel& label, Theme::Level level);
/// Wrapped text at most `maxWidth` wide, centred in a holder that takes the full width.
QWidget* measured(QLabel* label, int maxWidth);

} // namespace OnboardingText
} // namespace ulmaro
