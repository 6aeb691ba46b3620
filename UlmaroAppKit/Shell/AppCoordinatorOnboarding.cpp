#include "UlmaroAppKit/Catalogs/CatalogCoordinating.h"
#include "UlmaroAppKit/Catalogs/DriveOffer.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/Panel/OverlayPanelController.h"
#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/Search/SuggestionSeeder.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroAppKit/Shell/AppCoordinator.h"
#include "UlmaroAppKit/Shell/LaunchIntent.h"
#include "UlmaroKit/Index/IndexStore.h"

namespace ulmaro {

void AppCoordinator::setupOnboarding(bool hotkeyRegistered,
                                     std::optional<bool> fullDiskAccessGranted) {
    if (!isPrimaryInstance_) return;
    const bool access = fullDiskAccessGranted.value_or(fullDiskAccess());
    auto drives = env_.externalVolumes ? env_.externalVolumes() : std::vector<MountedVolume>{};
    // Only drives of their own, and never a mounted image, here as in the drive prompt.
    std::erase_if(drives, [&](const MountedVolume& v) {
        return !DriveOffer::isOfferable(v) || (env_.isDiskImage && env_.isDiskImage(v.mountPath));
    });

    const auto weak = weak_from_this();
    OnboardingViewModel::Callbacks callbacks;
    callbacks.startIndexing = [weak] {
        if (auto self = weak.lock()) self->startIndexingOnce();
    };
    callbacks.dismissPanel = [weak] {
        if (auto self = weak.lock()) self->panelController_->dismiss(true);
    };
    callbacks.onCompleted = [weak] {
        if (auto self = weak.lock()) self->onboardingCompleted();
    };
    callbacks.onChoseCatalogOnly = [weak] {
        if (auto self = weak.lock()) self->choseCatalogOnly();
    };
    callbacks.onDrivesChosen = [weak](const std::vector<MountedVolume>& chosen,
                                      const std::vector<MountedVolume>& declined) {
        if (auto self = weak.lock()) self->drivesChosen(chosen, declined);
    };
    // The application's one Preferences: an open Settings window hears of the flow's
    // choices (the content folders) as they are made.
    onboardingViewModel_ = std::make_shared<OnboardingViewModel>(
        hotkeyRegistered, firstRunDefaults_, access, std::move(drives), std::move(callbacks),
        preferences_);

    auto& onboarding = *onboardingViewModel_;
    HotKeyStatus hotKey = hotKeyStatus.get();
    if (hotKey.isRegistered() != hotkeyRegistered)
        hotKey.state =
            hotkeyRegistered ? HotKeyStatus::State::registered : HotKeyStatus::State::taken;
    onboarding.hotKey.set(hotKey);
    const auto lastTotal = env_.settings->intValue(IndexCoordinator::Keys::lastScanTotal);
    if (lastTotal.value_or(0) >= 1) {
        onboarding.expectedTotal.set(*lastTotal);
        onboarding.expectedTotalIsEstimate.set(false);
    } else {
        onboarding.expectedTotal.set(env_.usedInodes ? env_.usedInodes() : std::nullopt);
        onboarding.expectedTotalIsEstimate.set(true);
    }
    const auto denied = env_.settings->intValue(IndexCoordinator::Keys::lastScanDenied).value_or(0);
    onboarding.deniedDirectories.set(denied);
    overlayViewModel_->indexGapFolders.set(denied);
    overlayViewModel_->indexGapPaths.set(
        env_.settings->stringListValue(IndexCoordinator::Keys::lastScanDeniedPaths)
            .value_or(std::vector<std::string>{}));
    seedOnboardingFromCurrentIndexState();
}

void AppCoordinator::seedOnboardingFromCurrentIndexState() {
    const auto& state = indexCoordinator_->state();
    const auto& store = indexCoordinator_->store();
    std::optional<std::int64_t> count;
    if (const auto* indexing = std::get_if<IndexCoordinator::Indexing>(&state))
        onboardingViewModel_->filesSoFar.set(indexing->filesSoFar);
    else if (const auto* ready = std::get_if<IndexCoordinator::Ready>(&state))
        count = ready->count;
    else if (const auto* refreshing = std::get_if<IndexCoordinator::Refreshing>(&state))
        count = refreshing->count;
    // A flow that is not showing (onboarding done) never shows again, and the seed's pass
    // over the records would cost every launch tens of milliseconds on a large index.
    if (count && store && onboardingViewModel_->step.get())
        onboardingViewModel_->applyIndexingComplete(
            *count, SuggestionSeeder::seed(*store, env_.homeDirectory.string()).rows);
}

void AppCoordinator::onboardingCompleted() {
    loginItem_.registerIfNeeded();
    refreshMenuBar();
    for (const auto& volume : catalogCoordinator_->mountedVolumes())
        if (!volume.isBootVolume() && catalogCoordinator_->wantsPrompt(volume) &&
            catalogCoordinator_->onPromptForDrive)
            catalogCoordinator_->onPromptForDrive(volume);
}

void AppCoordinator::choseCatalogOnly() {
    if (isFirstRun_ && !firstRunEndedWithoutTheMac_) recordFirstRunEndedWithoutTheMac();
    preferences_->setSearchThisMac(false);
    applySearchThisMac();
    if (onOpenCatalog) onOpenCatalog(std::nullopt, std::nullopt);
}

void AppCoordinator::drivesChosen(const std::vector<MountedVolume>& chosen,
                                  const std::vector<MountedVolume>& declined) {
    // A drive a catalog already covers is skipped without a word.
    for (const auto& volume : chosen)
        catalogCoordinator_->catalogDrive(volume);
    for (const auto& volume : declined)
        preferences_->declineDrive(volume.uuid);
}

bool AppCoordinator::shouldPresentPanelAtLaunch(std::span<const std::string> arguments) const {
    return LaunchIntent::shouldPresentPanel(isFirstRun_, onboardingViewModel_->isShowing(),
                                            isPrimaryInstance_, arguments);
}

void AppCoordinator::presentFirstRunAutomatically(std::span<const std::string> arguments) {
    if (shouldPresentPanelAtLaunch(arguments)) panelController_->show(true);
}

} // namespace ulmaro
