#include "UlmaroAppKit/Shell/AppDelegate.h"

#include "UlmaroAppKit/Indexing/IndexCoordinator.h"
#include "UlmaroAppKit/Search/FrecencyStore.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"

namespace ulmaro {

AppDelegate::AppDelegate(Factories factories) : factories_(std::move(factories)) {}

AppDelegate::~AppDelegate() = default;

bool AppDelegate::launch(std::span<const std::string> arguments) {
    coordinator_ = factories_.makeCoordinator();
    coordinator_->startCatalogs();
    if (factories_.attachWindows) factories_.attachWindows(coordinator_);
    if (factories_.installPanelKeys) factories_.installPanelKeys(coordinator_);
    if (!coordinator_->isPrimaryInstance()) {
        if (factories_.terminate) factories_.terminate();
        return false;
    }
    // The hot key is registered before the panel's view exists.
    const bool registered = coordinator_->registerHotKeyWithRetry();
    coordinator_->setupOnboarding(registered, std::nullopt);
    if (factories_.buildPanelContent) factories_.buildPanelContent(coordinator_);
    coordinator_->presentFirstRunAutomatically(arguments);
    launched_ = true;
    return true;
}

void AppDelegate::willTerminate() {
    if (!launched_ || !coordinator_ || !coordinator_->isPrimaryInstance() || saved_) return;
    saved_ = true;
    auto& index = coordinator_->indexCoordinator();
    index.checkpointWatchState();
    // The watch's first walk runs on the shared worker pool for seconds on a large tree; it
    // must end before the process's static objects go, or it reads them destroyed.
    index.stopWatching();
    coordinator_->frecencyStore().flush();
    if (factories_.flushSettings) factories_.flushSettings();
}

} // namespace ulmaro
