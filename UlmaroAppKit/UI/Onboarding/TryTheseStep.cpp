#include "UlmaroAppKit/UI/Onboarding/TryTheseStep.h"

#include "UlmaroAppKit/Onboarding/OnboardingCopy.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Onboarding/AllSetFallback.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingButton.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingStepShell.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingText.h"
#include "UlmaroAppKit/UI/Onboarding/SuggestionRow.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ulmaro {
namespace {

QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

TryTheseStep::TryTheseStep(OnboardingViewModel& model, IconResolver* icons,
                           std::function<void()> onDone, QWidget* parent,
                           std::shared_ptr<TimerService> timers)
    : QWidget(parent), model_(model), icons_(icons), onDone_(std::move(onDone)),
      timers_(std::move(timers)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    rebuild();
    subscriptions_.push_back(model_.suggestions.subscribe([this](const auto&) { rebuild(); }));
    subscriptions_.push_back(model_.hotKey.subscribe([this](const auto&) { rebuild(); }));
    for (auto* count : {&model_.filesSoFar, &model_.finalCount})
        subscriptions_.push_back(count->subscribe([this](const auto&) { updateCounts(); }));
    subscriptions_.push_back(model_.indexComplete.subscribe([this](bool) { updateCounts(); }));
}

TryTheseStep::~TryTheseStep() = default;

void TryTheseStep::rebuild() {
    footer_ = nullptr;
    fallback_ = nullptr;
    std::vector<QWidget*> body;
    if (model_.hasTryTheseSuggestions()) {
        auto* rows = new QWidget;
        rows->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        auto* column = new QVBoxLayout(rows);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(4);
        const auto& suggested = model_.suggestions.get();
        for (std::size_t i = 0; i < std::min(rowsShown, suggested.size()); ++i)
            column->addWidget(new SuggestionRow(suggested[i], icons_, rows));
        body.push_back(rows);

        footer_ =
            OnboardingText::label({}, {11, Theme::Weight::regular, Theme::Level::secondary}, true);
        body.push_back(footer_);
    } else {
        fallback_ = new AllSetFallback(model_.readyCount(), model_.hotKey.get(), nullptr, timers_);
        fallback_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        body.push_back(fallback_);
    }

    auto* done = OnboardingButton::prominent(qt(OnboardingCopy::doneButton), /*large=*/true);
    connect(done, &QPushButton::clicked, this, [this] {
        if (onDone_) onDone_();
    });

    const QString title = qt(model_.hasTryTheseSuggestions() ? OnboardingCopy::tryTheseHeader
                                                             : OnboardingCopy::allSetTitle);
    auto* shell = new OnboardingStepShell(title, std::move(body), {done}, this);
    if (shell_) {
        // The old one may hold the button whose click brought us here: it goes once that
        // click is over.
        layout()->replaceWidget(shell_, shell);
        shell_->hide();
        shell_->deleteLater();
    } else {
        layout()->addWidget(shell);
    }
    shell_ = shell;
    layout()->activate();
    if (isVisible()) shell_->show();
    updateCounts();
}

void TryTheseStep::updateCounts() {
    const std::int64_t count = model_.readyCount();
    if (footer_)
        PlainText::setText(*footer_, QString::fromStdString(OnboardingCopy::tryTheseFooter(count)));
    if (fallback_) fallback_->setCount(count);
}

} // namespace ulmaro
