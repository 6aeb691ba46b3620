#pragma once

#include "UlmaroAppKit/Catalogs/CatalogBrowsing.h"
#include "UlmaroAppKit/Catalogs/CatalogCoordinator.h"
#include "UlmaroAppKit/Catalogs/CatalogWindowRules.h"
#include "UlmaroAppKit/Platform/MainQueue.h"
#include "UlmaroAppKit/Platform/Observable.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ulmaro {

/// The catalog window's state over the browser model, the catalog pipeline and its library:
/// the window's own values (`message`, `confirmingForget`, `pendingImport`,
/// `reselectAfterForget`), which catalog a `show` selects, and what the sidebar and the
/// detail show. Toolkit-free; the Qt window draws it. Main thread only.
class CatalogWindowState {
public:
    /// `entryStatus` is the browser model's status of an entry.
    CatalogWindowState(CatalogBrowsing& model, CatalogCoordinator& coordinator,
                       MainQueue& mainQueue, CatalogWindowRules::EntryStatus entryStatus);
    ~CatalogWindowState();
    CatalogWindowState(const CatalogWindowState&) = delete;
    CatalogWindowState& operator=(const CatalogWindowState&) = delete;

    Observable<std::optional<std::string>> message;
    Observable<bool> confirmingForget{false};
    Observable<std::optional<CatalogCoordinator::PendingImport>> pendingImport;
    Observable<bool> reselectAfterForget{false};

    /// Selects what a `show` asks for: the catalog (and the folder of `revealPath` in it)
    /// when the library holds it; else keeps the selection, or selects the first catalog.
    void prepare(const std::optional<std::string>& catalogID,
                 const std::optional<std::string>& revealPath);

    /// Starts following the library and the pipeline's notices, once the window is built.
    /// Each change of the library's entries runs `libraryChanged()` and the reselection
    /// rule one main-queue turn later; each notice becomes the message and is cleared. A
    /// notice already waiting is shown now.
    void attach();

    std::string status(const CatalogEntry& entry) const;
    CatalogWindowRules::Colour colour(const CatalogEntry& entry) const;
    std::vector<CatalogWindowRules::SidebarRow> sidebarRows() const;

    struct Detail {
        enum class Kind { empty, damaged, browser };
        Kind kind;
        /// A damaged catalog's reason and hint; the empty state's title.
        std::string text;
        std::string hint;
        bool operator==(const Detail&) const = default;
    };
    Detail detail() const;

    CatalogBrowsing& model() const { return model_; }
    CatalogCoordinator& coordinator() const { return coordinator_; }

private:
    void libraryDidChange();

    CatalogBrowsing& model_;
    CatalogCoordinator& coordinator_;
    MainQueue& mainQueue_;
    CatalogWindowRules::EntryStatus entryStatus_;
    /// Queued main-queue turns hold this weakly.
    std::shared_ptr<CatalogWindowState*> alive_;
    bool attached_ = false;
    Subscription entries_;
    Subscription notices_;
};

} // namespace ulmaro
