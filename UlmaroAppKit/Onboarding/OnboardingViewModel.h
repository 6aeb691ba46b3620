#pragma once

#include "UlmaroAppKit/Onboarding/OnboardingState.h"
#include "UlmaroAppKit/Onboarding/OnboardingStep.h"
#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroAppKit/Platform/SettingsStore.h"
#include "UlmaroAppKit/Search/RankedRow.h"
#include "UlmaroAppKit/Settings/HotKeyStatus.h"
#include "UlmaroAppKit/Settings/Preferences.h"
#include "UlmaroKit/Scanning/MountedVolume.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ulmaro {

/// The first-run flow shown inside the search panel: which step is on screen, the progress
/// of the first index as the shell reports it, and the user's choices, reported through
/// the callbacks. Views read the published values and call the operations; the shell
/// builds one at launch and keeps it. Main thread only; every callback runs inside the
/// operation that fires it.
///
/// Advances act only in their own step, so a double click or a late call cannot skip one.
/// The index is asked for at most once per model, and never by the catalog-only choice.
class OnboardingViewModel final : public OnboardingState {
public:
    using Step = OnboardingStep;
    enum class ScanPhase {
        /// The scan is walking the disk.
        finding,
        /// Names are found; dates and sizes are being read.
        learning,
    };

    struct Callbacks {
        /// Asks the shell to build the index.
        std::function<void()> startIndexing;
        /// Hides the panel; the flow keeps its step.
        std::function<void()> dismissPanel;
        /// The flow has ended (after the step has gone).
        std::function<void()> onCompleted;
        /// The user chose not to search this computer (right after `onCompleted`).
        std::function<void()> onChoseCatalogOnly;
        using DrivesChosen = std::function<void(const std::vector<MountedVolume>& chosen,
                                                const std::vector<MountedVolume>& declined)>;
        /// Leaving the drive step: the shown drives ticked, then those left unticked.
        DrivesChosen onDrivesChosen;
    };

    /// The completion flag in `defaults` alone decides whether the flow starts. The flow's
    /// settings go through `preferences`, the application's one store, so that an open
    /// Settings window hears of them; none: a `Preferences` of its own over `defaults`.
    OnboardingViewModel(bool hotkeyRegistered, std::shared_ptr<SettingsStore> defaults,
                        bool accessGranted, std::vector<MountedVolume> externalDrives,
                        Callbacks callbacks, std::shared_ptr<Preferences> preferences = nullptr);
    OnboardingViewModel(const OnboardingViewModel&) = delete;
    OnboardingViewModel& operator=(const OnboardingViewModel&) = delete;

    // The published values are public: views observe them and the shell writes the
    // progress ones directly. Everything else is private.
private:
    bool isFirstRunSession_;

public:
    /// None when the flow is not showing.
    Observable<std::optional<Step>> step;
    /// Entries the running scan has found so far.
    Observable<std::int64_t> filesSoFar{0};
    /// Fixed when the flow was set up; on Linux the shell always grants it.
    Observable<bool> fullDiskAccessGranted{false};
    /// The summon shortcut as it stands; the shell keeps it current, so the flow names the
    /// key in force, or says why there is none.
    Observable<HotKeyStatus> hotKey;
    Observable<std::optional<std::int64_t>> expectedTotal;
    /// `expectedTotal` is the file system's estimate, not an earlier scan's count.
    Observable<bool> expectedTotalIsEstimate{false};
    Observable<std::int64_t> deniedDirectories{0};
    /// Records whose dates and sizes have been read, of `fillTotal`.
    Observable<std::int64_t> fillProgress{0};
    Observable<std::int64_t> fillTotal{0};
    Observable<bool> indexComplete{false};
    Observable<std::int64_t> finalCount{0};
    Observable<std::vector<RankedRow>> suggestions;

private:
    std::shared_ptr<SettingsStore> defaults_;
    std::function<void()> dismissPanel_;
    std::function<void()> onCompleted_;

public:
    /// UUIDs of the drives ticked for cataloguing.
    Observable<std::set<std::string>> drivesToCatalog;

private:
    std::function<void()> onChoseCatalogOnly_;
    Callbacks::DrivesChosen onDrivesChosen_;
    std::shared_ptr<Preferences> preferences_;
    bool indexingStarted_ = false;
    std::function<void()> startIndexing_;
    std::vector<MountedVolume> externalDrives_;

public:
    // OnboardingState
    bool isShowing() const override { return step.get().has_value(); }
    [[nodiscard]] Subscription subscribeShowing(std::function<void(bool)> handler) override;
    bool isFirstRunSession() const override { return isFirstRunSession_; }
    /// Recorded in every step; moves `indexing` on to `ready`.
    void applyIndexingComplete(std::int64_t count, std::vector<RankedRow> rows) override;

    bool hotkeyRegistered() const { return hotKey.get().isRegistered(); }
    /// The shortcut in force as shown ("Alt+Space").
    std::string hotKeyDisplay() const { return hotKey.get().combo.display(); }
    const std::vector<MountedVolume>& externalDrives() const { return externalDrives_; }
    /// The flow's settings: the application's `Preferences` when one was given.
    Preferences& preferences() { return *preferences_; }
    bool indexingStarted() const { return indexingStarted_; }

    /// The drives the drive step lists: the first `OnboardingCopy::maxDrivesShown`.
    std::vector<MountedVolume> shownDrives() const;
    /// The permission step only without access, the drive step only with drives.
    bool shows(Step which) const;
    std::vector<Step> shownSteps() const;
    int totalSteps() const;
    /// 1-based among the shown steps; 1 for a step that is not shown.
    int position(Step which) const;
    /// The current step's position; with no step, the last step's.
    int stepPosition() const;
    ScanPhase scanPhase() const;
    std::string progressTitle() const;
    std::string progressCaption() const;
    /// "42.0%", never 100% before the end; none while finding against an estimate.
    std::optional<std::string> progressPercentText() const;
    /// The final count once the index is complete, else the count so far.
    std::int64_t readyCount() const;
    /// "3 folders couldn't be read"; none when every folder was read.
    std::optional<std::string> coverageGapText() const;
    bool hasTryTheseSuggestions() const { return !suggestions.get().empty(); }
    std::string allSetCountLine() const;
    std::string allSetHotkeyLine() const;

    void applyIndexingProgress(std::int64_t found);
    void applyFillProgress(std::int64_t filled, std::int64_t total);

    void advanceFromWelcome();
    /// Welcome only: stores "don't search this computer" and ends the flow.
    void chooseCatalogOnly();
    void advanceFromPermission();
    void toggleDrive(const std::string& uuid);
    void advanceFromExternalDrives();
    void advanceFromIndexing();
    /// Hides the panel and leaves the step as it is.
    void continueInBackground();
    void advanceFromReady();
    /// Stores the folders in effect (the defaults when none were chosen) as chosen.
    void advanceFromContentFolders();
    void advanceFromHowToSearch();
    /// The last step's "Done".
    void complete();
    /// The shell's summon or dismissal while the flow shows.
    void skip();

private:
    void finishOnboarding(bool startIndexing);
    void startIndexingOnce();
    /// After access is settled: the drive step when there are drives, else on to indexing.
    void moveToDrivesOrIndexing();
    /// `ready` when the index is complete, else `indexing`.
    void moveToIndexingOrReady();
    static void call(const std::function<void()>& callback) {
        if (callback) callback();
    }
};

} // namespace ulmaro
