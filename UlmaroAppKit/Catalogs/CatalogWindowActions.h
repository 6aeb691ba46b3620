#pragma once

#include "UlmaroAppKit/Catalogs/CatalogTransferring.h"
#include "UlmaroAppKit/Catalogs/CatalogWindowState.h"
#include "UlmaroAppKit/Platform/FileChooser.h"

#include <memory>
#include <string>
#include <string_view>

namespace ulmaro {

/// The catalog window's toolbar and its two questions, toolkit-free: when each action is
/// available, and what it does with the coordinator's results. Every result and failure
/// the user should see goes into the state's `message`. Main thread only.
class CatalogWindowActions {
public:
    CatalogWindowActions(CatalogWindowState& state, CatalogTransferring& transfers,
                         FileChooser& chooser);
    ~CatalogWindowActions();
    CatalogWindowActions(const CatalogWindowActions&) = delete;
    CatalogWindowActions& operator=(const CatalogWindowActions&) = delete;

    /// Selected, online, a drive or folder catalog, and not the one being scanned.
    bool canRescan() const;
    bool canExport() const;
    bool canImport() const;
    bool canForget() const;

    /// Catalogs each folder chosen; the problems, one line each in the folders' order.
    void addFolder();
    void rescan();
    void exportSelected();
    void importFile();
    /// Imported: selected, and its note, if any, shown. Conflict: held in `pendingImport` in place
    /// of an earlier one, which is settled as kept without the question going away. Failed: its
    /// text, if any.
    void handle(const CatalogCoordinator::ImportOutcome& outcome);
    std::string importTitle() const;
    /// "Replace" in the import question.
    void replace();
    /// "Keep Existing", or the import question closed any other way: the copy is deleted.
    void cancelPendingImport();
    std::string forgetTitle() const;
    /// "Forget" in its confirmation.
    void forget();

    /// The name the save dialog starts from. A catalog's name may come from a volume label
    /// or an imported archive, so "/" and control characters become "-", and a name left
    /// empty, "." or ".." becomes "Catalog": the archive lands in the folder on screen.
    static std::string exportFileName(std::string_view catalogName);

private:
    CatalogWindowState& state_;
    CatalogTransferring& transfers_;
    FileChooser& chooser_;
    /// Completions hold this weakly: the window may go first.
    std::shared_ptr<CatalogWindowActions*> alive_;
};

} // namespace ulmaro
