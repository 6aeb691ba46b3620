#pragma once

#include "UlmaroAppKit/Onboarding/OnboardingState.h"
#include "UlmaroAppKit/Panel/OverlayViewModelFixture.h"
#include "UlmaroAppKit/UI/Panel/OverlayView.h"

#include <QApplication>
#include <memory>
#include <set>
#include <string>

namespace ulmaro::test {

/// The flow as the panel sees it: a step showing or not, and the first-run session flag.
class FakeOnboarding final : public OnboardingState {
public:
    bool showing = false;
    bool firstRunSession = false;

    void setShowing(bool value) {
        showing = value;
        changed_.emit(value);
    }
    bool isShowing() const override { return showing; }
    Subscription subscribeShowing(std::function<void(bool)> handler) override {
        return changed_.subscribe(std::move(handler));
    }
    bool isFirstRunSession() const override { return firstRunSession; }
    void applyIndexingComplete(std::int64_t, std::vector<RankedRow>) override {}

private:
    Signal<bool> changed_;
};

/// The real view model over a fake engine, with saved searches kept in a set, and the real
/// view over it; `dismissals` counts `onDismiss`.
struct OverlayViewUnderTest : OverlayFixture {
    std::shared_ptr<FakeOnboarding> onboarding = std::make_shared<FakeOnboarding>();
    std::set<std::string> saved;
    int dismissals = 0;
    std::unique_ptr<OverlayView> view;

    explicit OverlayViewUnderTest(bool withEngine = true) : OverlayFixture(withEngine) {
        model->isQuerySaved = [this](const std::string& q) { return saved.count(q) > 0; };
        model->onToggleSavedQuery = [this](const std::string& q) {
            if (!saved.erase(q)) saved.insert(q);
        };
        model->hotKeyDisplay.set("Alt+Space");
        OverlayView::Callbacks callbacks;
        callbacks.onDismiss = [this] { ++dismissals; };
        view = std::make_unique<OverlayView>(model, onboarding, callbacks);
    }
    bool shows(OverlayView::Place place) const { return view->isShown(place); }
};

} // namespace ulmaro::test
