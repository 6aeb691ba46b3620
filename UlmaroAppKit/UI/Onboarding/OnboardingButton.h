#pragma once

class QPushButton;
class QString;
class QWidget;

namespace ulmaro {

/// The first-run flow's buttons. GUI thread only.
namespace OnboardingButton {

/// The step's main action: filled with the accent colour, white text, the default button.
/// `large` is the larger control size.
QPushButton* prominent(const QString& title, bool large, QWidget* parent = nullptr);
/// A secondary action: the theme's bordered button.
QPushButton* bordered(const QString& title, bool large, QWidget* parent = nullptr);

} // namespace OnboardingButton
} // namespace ulmaro
