#include "UlmaroAppKit/UI/Onboarding/OnboardingStepView.h"

#include "UlmaroAppKit/Onboarding/OnboardingCopy.h"
#include "UlmaroAppKit/Onboarding/OnboardingLayout.h"
#include "UlmaroAppKit/Onboarding/OnboardingPage.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/UI/Onboarding/ContentFoldersStep.h"
#include "UlmaroAppKit/UI/Onboarding/ExternalDrivesStep.h"
#include "UlmaroAppKit/UI/Onboarding/HowToSearchContent.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingButton.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingPages.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingStepShell.h"
#include "UlmaroAppKit/UI/Onboarding/StepDots.h"
#include "UlmaroAppKit/UI/Onboarding/TryTheseStep.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace ulmaro {

OnboardingStepView::OnboardingStepView(OnboardingViewModel& model, Callbacks callbacks,
                                       Options options, QWidget* parent)
    : QWidget(parent), model_(model), callbacks_(std::move(callbacks)),
      options_(std::move(options)) {
    auto* column = new QVBoxLayout(this);
    const int side = int(OnboardingLayout::panelHorizontalPadding);
    column->setContentsMargins(side, 30, side, 30);
    column->setSpacing(20);

    const auto size = OnboardingLayout::contentSize(std::nullopt);
    frame_ = new QWidget(this);
    frame_->setFixedSize(int(size.width), int(size.height));
    auto* framed = new QVBoxLayout(frame_);
    framed->setContentsMargins(0, 0, 0, 0);
    column->addWidget(frame_, 0, Qt::AlignHCenter);

    dots_ = new StepDots(model_.stepPosition(), model_.totalSteps(), this);
    column->addWidget(dots_, 0, Qt::AlignHCenter);

    rebuild();
    subscriptions_.push_back(model_.step.subscribe([this](const auto&) { rebuild(); }));
    // The shortcut and the denied folders change what the ready page holds, not just its
    // texts.
    subscriptions_.push_back(model_.hotKey.subscribe([this](const auto&) {
        if (pageStep_ == OnboardingStep::ready) rebuild();
    }));
    subscriptions_.push_back(model_.deniedDirectories.subscribe([this](const auto&) {
        if (pageStep_ == OnboardingStep::ready) rebuild();
    }));
    for (auto* value :
         {&model_.filesSoFar, &model_.fillProgress, &model_.fillTotal, &model_.finalCount})
        subscriptions_.push_back(value->subscribe([this](const auto&) { refresh(); }));
    for (auto* value : {&model_.indexComplete, &model_.expectedTotalIsEstimate})
        subscriptions_.push_back(value->subscribe([this](const auto&) { refresh(); }));
    subscriptions_.push_back(model_.expectedTotal.subscribe([this](const auto&) { refresh(); }));
}

OnboardingStepView::~OnboardingStepView() = default;

std::function<QWidget*(QWidget*)>
OnboardingStepView::overlayFactory(std::shared_ptr<OnboardingViewModel> model,
                                   const OverlayView::Callbacks& overlay, Options options) {
    // Deferring access belongs to the panel's own prompt, not to the flow.
    Callbacks callbacks{overlay.onGrantFullDiskAccess, overlay.onAdvanceFromPermission,
                        overlay.onAdvanceFromWelcome,  overlay.onContinueInBackground,
                        overlay.onAdvanceFromIndexing, overlay.onAdvanceFromReady,
                        overlay.onCompleteOnboarding};
    options.onDismiss = overlay.onDismiss;
    return [model = std::move(model), callbacks = std::move(callbacks),
            options = std::move(options)](QWidget* parent) -> QWidget* {
        return new OnboardingStepView(*model, callbacks, options, parent);
    };
}

void OnboardingStepView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (options_.onDismiss) options_.onDismiss();
        return;
    }
    QWidget::keyPressEvent(event);
}

void OnboardingStepView::rebuild() {
    pageStep_ = OnboardingPage::pageFor(model_.step.get());
    QWidget* page = makePage(pageStep_);
    if (page_) {
        // The old one may hold the button whose click brought us here: it goes once that
        // click is over.
        frame_->layout()->replaceWidget(page_, page);
        page_->hide();
        page_->deleteLater();
    } else {
        frame_->layout()->addWidget(page);
    }
    page_ = page;
    // Laid out and shown now, not on the next turn of the event loop, so the page is never
    // seen at a default size.
    frame_->layout()->activate();
    if (isVisible()) page_->show();
    dots_->setSteps(model_.stepPosition(), model_.totalSteps());
}

void OnboardingStepView::refresh() {
    if (auto* indexing = qobject_cast<OnboardingPages::Indexing*>(page_)) indexing->refresh();
    if (auto* ready = qobject_cast<OnboardingPages::Ready*>(page_)) ready->refresh();
}

QWidget* OnboardingStepView::makePage(OnboardingStep step) {
    const OnboardingPages::Context context{model_, options_.canAskForAccess, options_.timers};
    switch (step) {
    case OnboardingStep::welcome:
        return new OnboardingPages::Welcome(context, callbacks_.onAdvanceFromWelcome);
    case OnboardingStep::permission:
        return new OnboardingPages::Permission(context, callbacks_.onGrantFullDiskAccess,
                                               callbacks_.onAdvanceFromPermission);
    case OnboardingStep::indexing:
        return new OnboardingPages::Indexing(context, callbacks_.onAdvanceFromIndexing);
    case OnboardingStep::ready:
        return new OnboardingPages::Ready(context, callbacks_.onGrantFullDiskAccess,
                                          callbacks_.onAdvanceFromReady);
    case OnboardingStep::tryThese:
        return new TryTheseStep(model_, options_.icons, callbacks_.onComplete, nullptr,
                                options_.timers);
    case OnboardingStep::externalDrives:
        return new ExternalDrivesStep(model_);
    case OnboardingStep::contentFolders:
        return new ContentFoldersStep(model_, contentFolders_, options_.chooser);
    case OnboardingStep::howToSearch:
        return howToSearchPage();
    }
    return nullptr;
}

QWidget* OnboardingStepView::howToSearchPage() {
    auto* next = OnboardingButton::prominent(
        QString::fromUtf8(OnboardingCopy::continueButton.data(),
                          qsizetype(OnboardingCopy::continueButton.size())),
        true);
    OnboardingViewModel* model = &model_;
    connect(next, &QPushButton::clicked, next, [model] { model->advanceFromHowToSearch(); });
    return new OnboardingStepShell(QString::fromUtf8(OnboardingCopy::searchTitle.data(),
                                                     qsizetype(OnboardingCopy::searchTitle.size())),
                                   {new HowToSearchContent}, {next});
}

} // namespace ulmaro
