#include "UlmaroAppKit/UI/Onboarding/OnboardingButton.h"

#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/StyledButton.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QPushButton>

namespace ulmaro::OnboardingButton {

QPushButton* prominent(const QString& title, bool large, QWidget* parent) {
    auto* button = new QPushButton(PlainText::buttonTitle(title), parent);
    button->setDefault(true);
    button->setFont(Theme::font(13, Theme::Weight::medium));
    const QColor fill = Theme::accent();
    const QColor pressed = fill.darker(115);
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: none;"
                                         " border-radius: %2px; padding: 0 %3px; height: %4px; }"
                                         "QPushButton:pressed { background: %5; }")
                              .arg(fill.name())
                              .arg(large ? 8 : 6)
                              .arg(large ? 20 : 14)
                              .arg(large ? 32 : 24)
                              .arg(pressed.name()));
    return button;
}

QPushButton* bordered(const QString& title, bool large, QWidget* parent) {
    // Drawn by us, not the Qt style: Fusion's plain box sat beside the filled main action.
    auto* button =
        new StyledButton(Theme::ButtonLook::standard,
                         large ? Theme::ControlSize::large : Theme::ControlSize::small, parent);
    PlainText::setText(*button, title);
    return button;
}

} // namespace ulmaro::OnboardingButton
