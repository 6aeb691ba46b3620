#pragma once

#include <QWidget>
#include <vector>

class QLabel;

namespace ulmaro {

class OnboardingBodyZone;

/// The frame most first-run steps share: a 62-pixel title zone (22-pixel semibold title,
/// centred, wrapping), the body zone with what is left, and a 52-pixel action zone, stacked
/// without gaps. Body children are 16 apart, actions one under another; wrapped text in
/// both is centred unless a child carries the property `ownAlignment`. GUI thread only.
class OnboardingStepShell final : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* ownAlignment = "ownAlignment";

    /// Takes the widgets.
    OnboardingStepShell(const QString& title, std::vector<QWidget*> body,
                        std::vector<QWidget*> actions, QWidget* parent = nullptr);

    QLabel& titleLabel() const { return *title_; }
    OnboardingBodyZone& bodyZone() const { return *body_; }
    QWidget& actionZone() const { return *actions_; }

private:
    QLabel* title_;
    OnboardingBodyZone* body_;
    QWidget* actions_;
};

} // namespace ulmaro
