#pragma once

#include "UlmaroAppKit/Platform/Observable.h"

#include <QWidget>
#include <vector>

class QCheckBox;
class QLabel;

namespace ulmaro {

class OnboardingStepShell;
class OnboardingViewModel;

/// The first-run step that offers the attached drives for cataloguing: a check box per
/// shown drive, ticked while the flow holds its UUID; a click toggles it in the flow,
/// whatever the box reports, and the boxes redraw from the flow. "Continue" hands the
/// choice on. GUI thread only.
class ExternalDrivesStep final : public QWidget {
    Q_OBJECT
public:
    explicit ExternalDrivesStep(OnboardingViewModel& model, QWidget* parent = nullptr);

    OnboardingStepShell& shell() const { return *shell_; }
    /// One per shown drive, in order.
    const std::vector<QCheckBox*>& boxes() const { return boxes_; }
    /// Null with four drives or fewer.
    QLabel* moreLine() const { return more_; }

private:
    void redraw();

    OnboardingViewModel& model_;
    OnboardingStepShell* shell_;
    std::vector<QCheckBox*> boxes_;
    QLabel* more_ = nullptr;
    Subscription ticks_;
};

} // namespace ulmaro
