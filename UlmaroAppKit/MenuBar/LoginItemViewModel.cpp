#include "UlmaroAppKit/MenuBar/LoginItemViewModel.h"

namespace ulmaro {
namespace {

template <class F>
void swallowing(F&& f) {
    try {
        f();
    } catch (...) {
        // The next menu refresh reads the status and shows what really happened.
    }
}

} // namespace

LoginItemViewModel::DisplayState LoginItemViewModel::displayState() const {
    switch (provider_->status()) {
    case LoginItemStatus::enabled:
        return DisplayState::on;
    case LoginItemStatus::notRegistered:
        return DisplayState::off;
    case LoginItemStatus::requiresApproval:
        return DisplayState::pendingApproval;
    case LoginItemStatus::notFound:
        return DisplayState::unavailable;
    }
    return DisplayState::unavailable;
}

void LoginItemViewModel::toggle() {
    switch (provider_->status()) {
    case LoginItemStatus::enabled:
        swallowing([&] { provider_->unregisterItem(); });
        break;
    case LoginItemStatus::notRegistered:
    case LoginItemStatus::requiresApproval:
        swallowing([&] { provider_->registerItem(); });
        break;
    case LoginItemStatus::notFound:
        swallowing([&] { provider_->unregisterItem(); });
        swallowing([&] { provider_->registerItem(); });
        break;
    }
}

void LoginItemViewModel::registerIfNeeded() {
    if (provider_->status() == LoginItemStatus::notRegistered)
        swallowing([&] { provider_->registerItem(); });
}

} // namespace ulmaro
