#pragma once

#include "UlmaroAppKit/Panel/InlineCompletion.h"
#include "UlmaroAppKit/Panel/OverlayResultState.h"
#include "UlmaroAppKit/Panel/QuickFilter.h"
#include "UlmaroAppKit/Panel/RecentFileEntry.h"
#include "UlmaroAppKit/Panel/RecentSearchEntry.h"
#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroAppKit/Search/RankedRow.h"
#include "UlmaroAppKit/Search/SearchOutcome.h"
#include "UlmaroAppKit/Search/SortOrder.h"
#include "UlmaroAppKit/Settings/HotKeyStatus.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

class Clock;
class MainQueue;
class RecentsStore;
class ResultActionPerforming;
class SearchEngineProtocol;
class SettleScheduling;

/// The search panel's state and the one object through which everything drives it: the
/// shell hands it engines, index progress and coverage and resets it on every dismissal;
/// the views observe its published values and call its operations.
///
/// Main thread only. Each published value is an `Observable` whose subscribers run after
/// it changed; `modelChanged` tells views to re-read derived values that no single
/// published value covers (whether the current query is saved). The only asynchronous
/// entries are the engine's answers, which come back through the main queue holding the
/// model weakly and are applied in the order they arrive.
///
/// Every search and every other-copies request is numbered by the model's own counter and
/// only the newest number's answer is applied. Engines are replaced whenever their inputs
/// change and count their own searches from 1 again, so the engine's number would let an
/// old engine's answer pass for the newest.
///
/// Keys (routed by the panel window and the search field): Down/Up `moveSelection(±1)`;
/// Return `openSelected()`; Alt+Return, Ctrl+Return and Ctrl+keypad Enter
/// `revealSelected()`; Ctrl+Backspace `trashSelected()` (on false the field deletes text);
/// Ctrl+C `copySelectedPath()` unless the field has a selection; Ctrl+D
/// `findCopiesOfSelected()`; Ctrl+T `openTerminalAtSelected()`; Space while browsing and
/// Ctrl+Y preview `selectedPath()`; Ctrl+1 to Ctrl+8 quick filters; Ctrl+/
/// `toggleCheatSheet()`; Escape hides the cheat sheet, else dismisses. The keys that
/// dismiss do so only when the operation returns true.
class OverlayViewModel final : public std::enable_shared_from_this<OverlayViewModel> {
public:
    using ResultState = OverlayResultState;
    /// Opens a path with the system's default application; raw bytes.
    using Opener = std::function<void(const std::string& path)>;

    /// The highlighted item of the empty panel's list.
    struct EmptySelection {
        enum class Kind { search, file };
        Kind kind = Kind::search;
        /// The recent search's query, or the recent file's path.
        std::string text;

        static EmptySelection search(std::string query) { return {Kind::search, std::move(query)}; }
        static EmptySelection file(std::string path) { return {Kind::file, std::move(path)}; }
        friend bool operator==(const EmptySelection&, const EmptySelection&) = default;
    };

    /// The offers made when a query finds nothing, in the order they are offered.
    enum class Rescue { searchInsideFiles, searchFolderPaths };

    /// What an action works on: the selected row, or the highlighted recent file.
    struct ActionTarget {
        std::string path;
        std::string name;
        bool isDirectory = false;
        friend bool operator==(const ActionTarget&, const ActionTarget&) = default;
    };

    static constexpr const char* noIndexMessage = "No index available. Run ‘lu scan’ to build one.";

    /// Without an engine the panel starts failed with `noIndexMessage`. `settleDelay` is
    /// the quiet time in seconds after which a typed query counts as settled (the shell
    /// passes 1.2). `recentsStore` may be null.
    static std::shared_ptr<OverlayViewModel>
    create(std::shared_ptr<SearchEngineProtocol> engine, Opener opener, bool isFirstRun,
           std::shared_ptr<RecentsStore> recentsStore,
           std::shared_ptr<SettleScheduling> settleScheduler, double settleDelay,
           std::shared_ptr<ResultActionPerforming> actions, std::shared_ptr<MainQueue> mainQueue,
           std::shared_ptr<Clock> clock);

    OverlayViewModel(const OverlayViewModel&) = delete;
    OverlayViewModel& operator=(const OverlayViewModel&) = delete;
    ~OverlayViewModel();

    // Published values. The shell writes `state`, `attributeDataIncomplete`, `sortOrder`,
    // `backgroundScanFiles`, `indexGapFolders`, `indexGapPaths`, `totalIndexedCount`,
    // `queryText`, `showingCheatSheet` and `hasContentIndex` directly; onboarding views
    // write `isFirstRun`, `queryText`, `fdaPromptVisible` and `showingCheatSheet`. Writes of
    // `activeFilter` and `sortOrder` act like setters: a changed filter reruns the query, a
    // changed order calls `onSortChanged`.

    /// The text in the search field.
    Observable<std::string> queryText;
    Observable<ResultState> state;
    /// Record ID of the selected result row.
    Observable<std::optional<std::uint32_t>> selectedID;
    /// Further rows of a multiple selection.
    Observable<std::set<std::uint32_t>> extraSelectedIDs;
    /// The syntax help covers the result area.
    Observable<bool> showingCheatSheet{false};
    Observable<std::optional<InlineCompletion>> inlineCompletion;
    /// Sizes and dates are not yet known for every record.
    Observable<bool> attributeDataIncomplete{false};
    Observable<SortOrder> sortOrder{SortOrder::relevance};
    Observable<std::optional<QuickFilter>> activeFilter;
    /// Files a background rescan has counted so far; none while none runs.
    Observable<std::optional<std::int64_t>> backgroundScanFiles;
    Observable<bool> isFirstRun{false};
    /// "1,234 files indexed." once the first build has finished.
    Observable<std::optional<std::string>> firstRunCompletionMessage;
    /// Rows suggested after the first build.
    Observable<std::vector<RankedRow>> suggestions;
    /// How to summon the panel ("Press Alt+Space anywhere.").
    Observable<std::string> hotkeyLine;
    /// The summon shortcut as shown ("Alt+Space").
    Observable<std::string> hotKeyDisplay;
    Observable<bool> fdaPromptVisible{false};
    Observable<bool> fdaBannerVisible{false};
    /// A document content index exists.
    Observable<bool> hasContentIndex{false};
    /// Folders the last scan could not read, and their paths.
    Observable<std::int64_t> indexGapFolders{0};
    Observable<std::vector<std::string>> indexGapPaths;
    /// The user moved into the results with the arrow keys (Space previews).
    Observable<bool> isBrowsingResults{false};
    /// The rows shown belong to an earlier query while a newer search runs.
    Observable<bool> resultsAreStale{false};
    /// "3 other copies of report.pdf" while the list shows other copies of a file.
    Observable<std::optional<std::string>> copiesContext;
    /// "Connect Backup to open this." after an action on a row of a drive not connected.
    Observable<std::optional<std::string>> offlineNotice;
    Observable<std::optional<EmptySelection>> emptySelection;
    /// Files in the index, for the empty panel's hint.
    Observable<std::optional<std::int64_t>> totalIndexedCount;

    /// Announced after `toggleSaveCurrentSearch()` saved or unsaved and after `setEngine`:
    /// re-read `currentQueryIsSaved()` and `isSearchEnabled()`.
    Signal<> modelChanged;

    // Hooks the shell installs; an unset hook is skipped.

    /// The order changed: the shell rebuilds the engine with it and reruns the query.
    std::function<void(SortOrder)> onSortChanged;
    /// A result was opened: the shell records it for ranking.
    std::function<void(const std::string& path)> onOpenedPath;
    /// Hides the panel without giving focus back, right before a path is opened.
    std::function<void()> dismissBeforeOpen;
    /// Whether a saved search has exactly this query.
    std::function<bool(const std::string& query)> isQuerySaved;
    /// Removes the saved search with this query, or saves one.
    std::function<void(const std::string& query)> onToggleSavedQuery;
    /// Opens the catalog browser at an offline catalog row.
    std::function<void(const RankedRow&)> onRevealInCatalog;

    // Derived values.

    /// An engine is set.
    bool isSearchEnabled() const { return static_cast<bool>(engine_); }
    /// The count of an `indexing` state, else 0.
    std::int64_t indexingFilesSoFar() const;
    /// The rows of a `results` state, else none.
    const std::vector<RankedRow>& rows() const;
    /// Reveal, copy, Trash, terminal and open-with; the search field trashes through it.
    ResultActionPerforming& actions() const { return *actions_; }

    // The shell's and onboarding's operations.

    /// A failed state turns idle with an engine; none fails with `noIndexMessage`. The
    /// query is not rerun. Announces `modelChanged`.
    void setEngine(std::shared_ptr<SearchEngineProtocol> engine);
    /// A count shows the first build's progress; none ends it (idle, when it showed).
    void applyIndexingState(std::optional<std::int64_t> filesSoFar);
    /// Notifies only when the value differs.
    void applyBackgroundScan(std::optional<std::int64_t> filesSoFar);
    void setTotalIndexedCount(std::optional<std::int64_t> count);
    void completeFirstRunIndexing(std::int64_t count, std::vector<RankedRow> suggestedRows);
    /// The line and the shortcut shown follow the shell's one account of the shortcut.
    void setHotKeyStatus(const HotKeyStatus& status);
    void toggleCheatSheet();
    void showCheatSheet();
    void hideCheatSheet();
    void presentFullDiskAccessAsk();
    /// Only during a first run.
    void presentFullDiskAccessAskIfNeeded();
    /// Without a grant the reminder banner shows.
    void dismissFDAPrompt(bool granted);
    void setFDABannerVisible(bool visible);
    void dismissFDABanner();
    void stopBrowsingResults();
    /// Called on every dismissal: drops what is under way and empties the panel, but an
    /// `indexing` state, the filter, the order, the cheat sheet, the offline notice and
    /// the coverage and first-run values survive.
    void reset();

    // From query to results.

    /// Searches `text` at once (an empty text goes idle). `deleting` unset: the text is
    /// shorter than the current one, in characters. Nothing at all without an engine.
    void updateQuery(const std::string& text, std::optional<bool> deleting = std::nullopt);
    /// Searches the current text again, never as deleting.
    void rerunCurrentQuery();
    /// Applies an answer when `generation` is the newest request's; drops it otherwise.
    void apply(SearchOutcome outcome, std::int64_t generation);
    /// The text sent to the engine: the query rewritten by the active filter.
    std::string effectiveQuery() const;
    /// The effective query filters on size or date.
    bool currentQueryNeedsAttributes() const;
    /// The settle timer's action: records `text` as a recent search when it is still the
    /// query, has two characters or more and found results.
    void considerRecordingSettledSearch(const std::string& text);
    /// The effective query without blanks around it.
    std::string savableQuery() const;
    bool currentQueryIsSaved() const;
    /// Saves or unsaves the savable query and announces `modelChanged`; nothing for an
    /// empty one.
    void toggleSaveCurrentSearch();

    // The empty panel, rescues and notices.

    /// "Type to search…", or "Type to search 1,234 files" with a known count.
    std::string emptyStateHint() const;
    std::vector<RecentSearchEntry> recentSearches() const;
    std::vector<RecentFileEntry> recentFiles() const;
    void selectRecentSearch(const std::string& query);
    /// Opens the file and records it among the recent files, not for ranking.
    void selectRecentFile(const RecentFileEntry& entry);
    /// As `selectRecentFile`, for a first-run suggestion.
    void openSuggestion(const RankedRow& row);
    /// The offers for the current query, empty unless it found nothing.
    std::vector<Rescue> rescues() const;
    void applyRescue(Rescue rescue);
    /// "3 folders couldn't be read" under a query that found nothing.
    std::optional<std::string> coverageWarning() const;
    /// Up to two of those folders, shortened.
    std::optional<std::string> coverageExamples() const;
    /// "Connect Backup to open this."; "the drive" for a row that is not a catalog's.
    static std::string offlineNoticeText(const RankedRow& row);

    // Selection.

    /// The row of the current list with `selectedID`.
    std::optional<RankedRow> selectedRow() const;
    /// The action target's path; none for an offline row.
    std::optional<std::string> selectedPath() const;
    /// The rows of `selectedID` and `extraSelectedIDs`, in list order.
    std::vector<RankedRow> selectedRows() const;
    /// Moves through the results with wrap-around, or through the empty panel's list.
    void moveSelection(int delta);
    /// Drops the extra rows, then moves.
    void moveSelectionCollapsing(int delta);
    /// Selects the range from the selected row to the row with `id`.
    void extendSelectionTo(std::uint32_t id);
    /// Selects the range from the selected row to the one `delta` rows away; no wrap.
    void extendSelectionBy(int delta);
    /// Adds or removes one row; the anchor leaves only for the first extra row in list
    /// order, and the last selected row stays.
    void toggleSelection(std::uint32_t id);
    void selectAllRows();
    void clearExtraSelection();
    /// Keeps the selection valid for a new list: a row still there stays selected, else
    /// the first row, none for an empty list.
    void reanchorSelection(const std::vector<RankedRow>& newRows);

    // Actions. Those returning bool tell whether something was done; the keys that
    // dismiss the panel dismiss it only on true.

    /// A row from this computer or from a catalog whose drive is connected.
    static bool isAvailable(const RankedRow& row);
    std::optional<ActionTarget> actionTarget() const;
    /// Records the effective query with its total as a recent search, when it has results.
    void recordCommittedSearchIfNeeded();

    bool openSelected();
    bool revealSelected();
    bool copySelectedPath();
    bool copySelectedName();
    bool openTerminalAtSelected();
    bool findCopiesOfSelected();
    bool trashSelected();
    /// Drops the rows at `path` and below it after a Trash; the total falls by one.
    void removeRowLocally(const std::string& path);
    /// Desktop files of the applications that can open the selected row.
    std::vector<std::string> applicationsForSelected();
    /// The selected rows' paths, one a line; returns how many.
    int copySelectedPaths();
    int revealSelectedRows();
    int trashSelectedRows();
    /// `application` is the path of a desktop file.
    int openSelectedRows(const std::string& application);

    // Row-level forms for the context menus: each selects the item first.

    void select(const RankedRow& row);
    bool open(const RankedRow& row);
    bool reveal(const RankedRow& row);
    bool findCopies(const RankedRow& row);
    bool copyPath(const RankedRow& row);
    bool copyName(const RankedRow& row);
    bool trash(const RankedRow& row);
    void select(const RecentFileEntry& entry);
    bool reveal(const RecentFileEntry& entry);
    bool copyPath(const RecentFileEntry& entry);
    bool copyName(const RecentFileEntry& entry);
    bool openTerminal(const RecentFileEntry& entry);

private:
    struct Passkey {};

public:
    OverlayViewModel(Passkey, std::shared_ptr<SearchEngineProtocol> engine, Opener opener,
                     bool isFirstRun, std::shared_ptr<RecentsStore> recentsStore,
                     std::shared_ptr<SettleScheduling> settleScheduler, double settleDelay,
                     std::shared_ptr<ResultActionPerforming> actions,
                     std::shared_ptr<MainQueue> mainQueue, std::shared_ptr<Clock> clock);

private:
    void assertMainThread() const;
    /// Without spaces and tabs at either end.
    static std::string_view trimmedBlanks(std::string_view text);
    void observeSettersOfFilterAndOrder();
    std::vector<EmptySelection> emptyItems() const;
    bool openSelectedEmptyItem();
    void applyCopies(SearchOutcome outcome, std::int64_t generation, const std::string& name);
    WallTime now() const;

    std::shared_ptr<SearchEngineProtocol> engine_;
    Opener opener_;
    std::shared_ptr<ResultActionPerforming> actions_;
    std::shared_ptr<RecentsStore> recentsStore_;
    std::shared_ptr<SettleScheduling> settleScheduler_;
    double settleDelay_;
    std::shared_ptr<MainQueue> mainQueue_;
    std::shared_ptr<Clock> clock_;
    bool isDeleting_ = false;
    /// The newest search or copies request; the model's own numbering.
    std::int64_t latestRequestedGeneration_ = 0;
    /// The last values seen, so that an equal write of either does nothing.
    std::optional<QuickFilter> appliedFilter_;
    SortOrder appliedOrder_ = SortOrder::relevance;
    std::vector<Subscription> ownSubscriptions_;
};

} // namespace ulmaro
