#include "UlmaroApp/PanelProbes.h"

#include "UlmaroApp/TestMode.h"
#include "UlmaroAppKit/Indexing/IndexCoordinator.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingStepView.h"
#include "UlmaroAppKit/UI/Panel/OverlayHeader.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Panel/OverlayView.h"
#include "UlmaroAppKit/UI/Panel/PreviewWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <cmath>

namespace ulmaro::PanelProbes {
namespace {

const char* stepName(std::optional<OnboardingStep> step) {
    if (!step) return "none";
    switch (*step) {
    case OnboardingStep::welcome:
        return "welcome";
    case OnboardingStep::permission:
        return "permission";
    case OnboardingStep::externalDrives:
        return "externalDrives";
    case OnboardingStep::indexing:
        return "indexing";
    case OnboardingStep::ready:
        return "ready";
    case OnboardingStep::contentFolders:
        return "contentFolders";
    case OnboardingStep::howToSearch:
        return "howToSearch";
    case OnboardingStep::tryThese:
        return "tryThese";
    }
    return "unknown";
}

const char* stateName(const IndexCoordinator::State& state) {
    return std::visit(
        [](const auto& s) -> const char* {
            using S = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<S, IndexCoordinator::Indexing>)
                return "indexing";
            else if constexpr (std::is_same_v<S, IndexCoordinator::Ready>)
                return "ready";
            else if constexpr (std::is_same_v<S, IndexCoordinator::Refreshing>)
                return "refreshing";
            else if constexpr (std::is_same_v<S, IndexCoordinator::Failed>)
                return "failed";
            else
                return "loading";
        },
        state);
}

/// Tells the step on screen and where its buttons are, once the page swap and its layout
/// are done and the window is exposed; nothing while the panel is hidden (its show tells it
/// again).
class StepProbe final : public QObject {
public:
    StepProbe(OverlayPanel& panel, OverlayView& view, OnboardingViewModel& flow)
        : QObject(&view), panel_(&panel), view_(&view), flow_(flow) {
        panel.installEventFilter(this);
        subscription_ = flow.step.subscribe([this](const auto&) { later(); });
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == panel_ && event->type() == QEvent::Show) later();
        return false;
    }

private:
    void later() {
        QTimer::singleShot(0, this, [this] { tell(); });
    }

    void tell() {
        if (!panel_ || !panel_->isVisible()) return;
        // Told once the window is on screen, so what it says can be clicked.
        if (!panel_->windowHandle() || !panel_->windowHandle()->isExposed()) {
            QTimer::singleShot(20, this, [this] { tell(); });
            return;
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const auto step = flow_.step.get();
        // One write, so that a reader never sees the step without its buttons.
        std::string lines = std::string("step ") + stepName(step);
        auto* stepView = view_->findChild<OnboardingStepView*>();
        if (step && stepView && stepView->page()) {
            for (const auto* button : stepView->page()->findChildren<QPushButton*>()) {
                if (!button->isVisible()) continue;
                const QPoint centre = button->mapTo(panel_, button->rect().center());
                lines +=
                    "\nbutton " + std::to_string(centre.x()) + " " + std::to_string(centre.y()) +
                    " " +
                    button->text().replace(QStringLiteral("&&"), QStringLiteral("&")).toStdString();
            }
        }
        TestMode::probe(lines);
    }

    QPointer<OverlayPanel> panel_;
    OverlayView* view_;
    OnboardingViewModel& flow_;
    Subscription subscription_;
};

/// Tells when the preview comes and goes, and what the timing pill says each time the
/// panel shows ("pill" alone for none).
class WindowProbe final : public QObject {
public:
    WindowProbe(OverlayPanel& panel, OverlayView& view)
        : QObject(&view), panel_(&panel), view_(view) {
        panel.installEventFilter(this);
        panel.preview().installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool shown = event->type() == QEvent::Show;
        if (!shown && event->type() != QEvent::Hide) return false;
        if (panel_ && watched == &panel_->preview())
            TestMode::probe(shown ? "preview shown" : "preview hidden");
        else if (watched == panel_ && shown)
            QTimer::singleShot(0, this, [this] {
                const QString pill = view_.header()->pillText();
                TestMode::probe(pill.isEmpty() ? "pill" : "pill " + pill.toStdString());
            });
        return false;
    }

private:
    QPointer<OverlayPanel> panel_;
    OverlayView& view_;
};

} // namespace

void install(OverlayPanel& panel, OverlayView& view, AppCoordinator& coordinator) {
    auto& model = coordinator.overlayViewModel();
    auto probes = std::make_shared<std::vector<Subscription>>();
    probes->push_back(model.state.subscribe([](const OverlayResultState& state) {
        if (const auto* results = state.resultsIfAny()) {
            TestMode::mark("engine " + std::to_string(std::llround(results->took * 1e6)));
            TestMode::probe("results " + std::to_string(results->rows.size()));
        } else if (state.isNoMatches())
            TestMode::probe("results 0");
    }));
    auto searchable = [&model, told = std::make_shared<bool>(false)] {
        if (*told || !model.isSearchEnabled()) return;
        *told = true;
        TestMode::probe("searchable");
    };
    probes->push_back(model.modelChanged.subscribe(searchable));
    searchable();
    QObject::connect(&view, &QObject::destroyed, [probes] { probes->clear(); });

    auto& index = coordinator.indexCoordinator();
    auto told = std::make_shared<std::string>(stateName(index.state()));
    TestMode::probe("index " + *told);
    index.onUpdate = [told,
                      forward = std::move(index.onUpdate)](const IndexCoordinator::State& state,
                                                           const IndexCoordinator::Store& store) {
        if (forward) forward(state, store);
        if (*told == stateName(state)) return;
        *told = stateName(state);
        TestMode::probe("index " + *told);
    };

    new StepProbe(panel, view, coordinator.onboardingViewModel());
    new WindowProbe(panel, view);
}

} // namespace ulmaro::PanelProbes
