#pragma once

#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroAppKit/Search/RankedRow.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace ulmaro {

/// What the panel and the shell need of the first-run flow without knowing its steps.
/// Main thread only.
class OnboardingState {
public:
    virtual ~OnboardingState() = default;

    /// A step of the flow is on screen; the panel shows it in place of its search content.
    virtual bool isShowing() const = 0;
    /// Called after every change of the step (its appearing, changing or going), with
    /// whether a step is now showing.
    [[nodiscard]] virtual Subscription subscribeShowing(std::function<void(bool)> handler) = 0;

    /// The flow was pending when it was set up at launch; fixed for the session.
    virtual bool isFirstRunSession() const = 0;

    /// The first index is ready with `count` files; `suggestions` are the rows offered to
    /// try first.
    virtual void applyIndexingComplete(std::int64_t count, std::vector<RankedRow> suggestions) = 0;
};

} // namespace ulmaro
