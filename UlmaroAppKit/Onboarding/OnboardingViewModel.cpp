#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"

#include "UlmaroAppKit/Indexing/IndexCoverage.h"
#include "UlmaroAppKit/Indexing/ScanProgressEstimate.h"
#include "UlmaroAppKit/Onboarding/OnboardingCopy.h"
#include "UlmaroAppKit/Onboarding/OnboardingStore.h"

#include <algorithm>

namespace ulmaro {

OnboardingViewModel::OnboardingViewModel(bool hotkeyRegistered,
                                         std::shared_ptr<SettingsStore> defaults,
                                         bool accessGranted,
                                         std::vector<MountedVolume> externalDrives,
                                         Callbacks callbacks,
                                         std::shared_ptr<Preferences> preferences)
    : isFirstRunSession_(!OnboardingStore::hasCompleted(*defaults)),
      hotKey(HotKeyStatus{hotkeyRegistered ? HotKeyStatus::State::registered
                                           : HotKeyStatus::State::taken}),
      defaults_(std::move(defaults)), dismissPanel_(std::move(callbacks.dismissPanel)),
      onCompleted_(std::move(callbacks.onCompleted)),
      onChoseCatalogOnly_(std::move(callbacks.onChoseCatalogOnly)),
      onDrivesChosen_(std::move(callbacks.onDrivesChosen)),
      preferences_(preferences ? std::move(preferences) : std::make_shared<Preferences>(defaults_)),
      startIndexing_(std::move(callbacks.startIndexing)),
      externalDrives_(std::move(externalDrives)) {
    // Shown drives start ticked; backup disks are left for the user to tick.
    std::set<std::string> ticked;
    for (const auto& drive : shownDrives())
        if (!drive.isTimeMachineDestination) ticked.insert(drive.uuid);
    drivesToCatalog.set(std::move(ticked));
    fullDiskAccessGranted.set(accessGranted);
    if (isFirstRunSession_) step.set(Step::welcome);
}

Subscription OnboardingViewModel::subscribeShowing(std::function<void(bool)> handler) {
    return step.subscribe([handler = std::move(handler)](const std::optional<Step>& now) {
        handler(now.has_value());
    });
}

std::vector<MountedVolume> OnboardingViewModel::shownDrives() const {
    const auto shown =
        std::min(externalDrives_.size(), static_cast<std::size_t>(OnboardingCopy::maxDrivesShown));
    return {externalDrives_.begin(), externalDrives_.begin() + static_cast<std::ptrdiff_t>(shown)};
}

bool OnboardingViewModel::shows(Step which) const {
    switch (which) {
    case Step::permission:
        return !fullDiskAccessGranted.get();
    case Step::externalDrives:
        return !externalDrives_.empty();
    default:
        return true;
    }
}

std::vector<OnboardingStep> OnboardingViewModel::shownSteps() const {
    std::vector<Step> steps;
    for (auto candidate : allOnboardingSteps)
        if (shows(candidate)) steps.push_back(candidate);
    return steps;
}

int OnboardingViewModel::totalSteps() const {
    return static_cast<int>(shownSteps().size());
}

int OnboardingViewModel::position(Step which) const {
    const auto steps = shownSteps();
    auto it = std::find(steps.begin(), steps.end(), which);
    return it == steps.end() ? 1 : static_cast<int>(it - steps.begin()) + 1;
}

int OnboardingViewModel::stepPosition() const {
    return position(step.get().value_or(Step::tryThese));
}

OnboardingViewModel::ScanPhase OnboardingViewModel::scanPhase() const {
    return fillProgress.get() >= 1 && fillTotal.get() >= 1 ? ScanPhase::learning
                                                           : ScanPhase::finding;
}

std::string OnboardingViewModel::progressTitle() const {
    return std::string(scanPhase() == ScanPhase::learning ? OnboardingCopy::indexingLearningTitle
                                                          : OnboardingCopy::indexingTitle);
}

std::string OnboardingViewModel::progressCaption() const {
    return std::string(scanPhase() == ScanPhase::learning ? OnboardingCopy::indexingLearningCaption
                                                          : OnboardingCopy::indexingFoundSoFar);
}

std::optional<std::string> OnboardingViewModel::progressPercentText() const {
    // Both phases share the scan's ratio, cap and format; only the pair of counts differs.
    if (scanPhase() == ScanPhase::learning)
        return ScanProgressEstimate{fillProgress.get(), fillTotal.get()}.percentText();
    if (expectedTotalIsEstimate.get()) return std::nullopt;
    return ScanProgressEstimate{filesSoFar.get(), expectedTotal.get()}.percentText();
}

std::int64_t OnboardingViewModel::readyCount() const {
    return indexComplete.get() ? finalCount.get() : filesSoFar.get();
}

std::optional<std::string> OnboardingViewModel::coverageGapText() const {
    return IndexCoverage{readyCount(), deniedDirectories.get()}.gapDescription();
}

std::string OnboardingViewModel::allSetCountLine() const {
    return OnboardingCopy::allSetCountLine(readyCount());
}

std::string OnboardingViewModel::allSetHotkeyLine() const {
    // The shortcut may have changed in Settings while the flow was pending: name the one
    // that works, not the default.
    if (!hotkeyRegistered()) return hotKey.get().noShortcutLine();
    return OnboardingCopy::hotkeyLine(hotKeyDisplay());
}

void OnboardingViewModel::applyIndexingProgress(std::int64_t found) {
    filesSoFar.set(found);
}

void OnboardingViewModel::applyFillProgress(std::int64_t filled, std::int64_t total) {
    fillProgress.set(filled);
    fillTotal.set(total);
}

void OnboardingViewModel::applyIndexingComplete(std::int64_t count, std::vector<RankedRow> rows) {
    indexComplete.set(true);
    finalCount.set(count);
    suggestions.set(std::move(rows));
    if (step.get() == Step::indexing) step.set(Step::ready);
}

void OnboardingViewModel::advanceFromWelcome() {
    if (step.get() != Step::welcome) return;
    if (!fullDiskAccessGranted.get()) {
        step.set(Step::permission);
        return;
    }
    startIndexingOnce();
    moveToDrivesOrIndexing();
}

void OnboardingViewModel::chooseCatalogOnly() {
    if (step.get() != Step::welcome) return;
    preferences_->setSearchThisMac(false);
    OnboardingStore::markCompleted(*defaults_);
    step.set(std::nullopt);
    call(onCompleted_);
    call(onChoseCatalogOnly_);
}

void OnboardingViewModel::advanceFromPermission() {
    if (step.get() != Step::permission) return;
    startIndexingOnce();
    moveToDrivesOrIndexing();
}

void OnboardingViewModel::toggleDrive(const std::string& uuid) {
    auto ticked = drivesToCatalog.get();
    if (!ticked.erase(uuid)) ticked.insert(uuid);
    drivesToCatalog.set(std::move(ticked));
}

void OnboardingViewModel::advanceFromExternalDrives() {
    if (step.get() != Step::externalDrives) return;
    std::vector<MountedVolume> chosen;
    std::vector<MountedVolume> declined;
    for (auto& drive : shownDrives())
        (drivesToCatalog.get().contains(drive.uuid) ? chosen : declined)
            .push_back(std::move(drive));
    if (onDrivesChosen_) onDrivesChosen_(chosen, declined);
    moveToIndexingOrReady();
}

void OnboardingViewModel::advanceFromIndexing() {
    if (step.get() == Step::indexing) step.set(Step::ready);
}

void OnboardingViewModel::continueInBackground() {
    call(dismissPanel_);
}

void OnboardingViewModel::advanceFromReady() {
    if (step.get() == Step::ready) step.set(Step::contentFolders);
}

void OnboardingViewModel::advanceFromContentFolders() {
    if (step.get() != Step::contentFolders) return;
    preferences_->confirmContentFolders();
    step.set(Step::howToSearch);
}

void OnboardingViewModel::advanceFromHowToSearch() {
    if (step.get() == Step::howToSearch) step.set(Step::tryThese);
}

void OnboardingViewModel::complete() {
    finishOnboarding(true);
}

void OnboardingViewModel::skip() {
    finishOnboarding(true);
}

void OnboardingViewModel::finishOnboarding(bool startIndexing) {
    OnboardingStore::markCompleted(*defaults_);
    step.set(std::nullopt);
    if (startIndexing) startIndexingOnce();
    call(onCompleted_);
}

void OnboardingViewModel::startIndexingOnce() {
    if (indexingStarted_) return;
    indexingStarted_ = true;
    call(startIndexing_);
}

void OnboardingViewModel::moveToDrivesOrIndexing() {
    if (!externalDrives_.empty())
        step.set(Step::externalDrives);
    else
        moveToIndexingOrReady();
}

void OnboardingViewModel::moveToIndexingOrReady() {
    step.set(indexComplete.get() ? Step::ready : Step::indexing);
}

} // namespace ulmaro
