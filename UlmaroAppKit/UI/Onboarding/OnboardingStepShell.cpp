#include "UlmaroAppKit/UI/Onboarding/OnboardingStepShell.h"

#include "UlmaroAppKit/Onboarding/OnboardingLayout.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingBodyZone.h"

#include <QLabel>
#include <QVBoxLayout>

namespace ulmaro {
namespace {

void centreWrappedText(QWidget& root) {
    auto centre = [](QLabel* label) {
        if (label->wordWrap() && !label->property(OnboardingStepShell::ownAlignment).isValid())
            label->setAlignment(Qt::AlignHCenter | (label->alignment() & Qt::AlignVertical_Mask));
    };
    if (auto* label = qobject_cast<QLabel*>(&root)) centre(label);
    for (auto* label : root.findChildren<QLabel*>())
        centre(label);
}

QWidget* stack(std::vector<QWidget*> children, int spacing) {
    auto* holder = new QWidget;
    auto* column = new QVBoxLayout(holder);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(spacing);
    for (auto* child : children) {
        centreWrappedText(*child);
        // Rows that ask for width, and wrapped text, take all of it; the rest sit in the
        // middle.
        const auto* label = qobject_cast<QLabel*>(child);
        const bool fills = (child->sizePolicy().horizontalPolicy() & QSizePolicy::ExpandFlag) ||
                           (label && label->wordWrap());
        column->addWidget(child, 0, fills ? Qt::Alignment() : Qt::AlignHCenter);
    }
    return holder;
}

} // namespace

OnboardingStepShell::OnboardingStepShell(const QString& title, std::vector<QWidget*> body,
                                         std::vector<QWidget*> actions, QWidget* parent)
    : QWidget(parent) {
    auto* zones = new QVBoxLayout(this);
    zones->setContentsMargins(0, 0, 0, 0);
    zones->setSpacing(0);

    title_ = PlainText::label(title, this);
    title_->setFont(Theme::font(OnboardingLayout::TypeScale::title, Theme::Weight::semibold,
                                Theme::Design::rounded));
    title_->setWordWrap(true);
    title_->setAlignment(Qt::AlignCenter);
    title_->setFixedHeight(int(OnboardingLayout::titleZoneHeight));
    zones->addWidget(title_);

    body_ = new OnboardingBodyZone(stack(std::move(body), int(OnboardingLayout::Space::md)), this);
    zones->addWidget(body_, 1);

    actions_ = new QWidget(this);
    actions_->setFixedHeight(int(OnboardingLayout::actionZoneHeight));
    auto* buttons = new QVBoxLayout(actions_);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch(1);
    for (auto* action : actions) {
        centreWrappedText(*action);
        buttons->addWidget(action, 0, Qt::AlignHCenter);
    }
    buttons->addStretch(1);
    zones->addWidget(actions_);
}

} // namespace ulmaro
