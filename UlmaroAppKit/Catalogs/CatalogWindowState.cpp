#include "UlmaroAppKit/Catalogs/CatalogWindowState.h"

#include "UlmaroAppKit/Catalogs/CatalogLibrary.h"

namespace ulmaro {

CatalogWindowState::CatalogWindowState(CatalogBrowsing& model, CatalogCoordinator& coordinator,
                                       MainQueue& mainQueue,
                                       CatalogWindowRules::EntryStatus entryStatus)
    : model_(model), coordinator_(coordinator), mainQueue_(mainQueue),
      entryStatus_(std::move(entryStatus)), alive_(std::make_shared<CatalogWindowState*>(this)) {}

CatalogWindowState::~CatalogWindowState() = default;

void CatalogWindowState::prepare(const std::optional<std::string>& catalogID,
                                 const std::optional<std::string>& revealPath) {
    const CatalogLibrary& library = coordinator_.library();
    if (catalogID && library.entry(*catalogID)) {
        if (revealPath)
            model_.reveal(*revealPath, *catalogID);
        else
            model_.select(catalogID);
        return;
    }
    if (model_.selectedEntry()) return;
    const auto& entries = library.entries();
    model_.select(entries.empty() ? std::nullopt : std::optional(entries.front().id()));
}

void CatalogWindowState::attach() {
    if (attached_) return;
    attached_ = true;
    std::weak_ptr<CatalogWindowState*> weak = alive_;
    entries_ = coordinator_.library().observeEntries([this, weak](const auto&) {
        // After the change has been published, never inside it.
        mainQueue_.post([weak] {
            if (auto alive = weak.lock()) (*alive)->libraryDidChange();
        });
    });
    auto showNotice = [this](const std::optional<std::string>& notice) {
        if (!notice) return;
        message.set(*notice);
        coordinator_.clearNotice();
    };
    notices_ = coordinator_.observeNotice(showNotice);
    showNotice(coordinator_.notice());
}

void CatalogWindowState::libraryDidChange() {
    model_.libraryChanged();
    if (!reselectAfterForget.get()) return;
    reselectAfterForget.set(false);
    if (model_.selectedEntry()) return;
    const auto& entries = coordinator_.library().entries();
    model_.select(entries.empty() ? std::nullopt : std::optional(entries.front().id()));
}

std::string CatalogWindowState::status(const CatalogEntry& entry) const {
    return CatalogWindowRules::status(entry, coordinator_.activity(), coordinator_.lastErrors(),
                                      entryStatus_);
}

CatalogWindowRules::Colour CatalogWindowState::colour(const CatalogEntry& entry) const {
    return CatalogWindowRules::colour(entry, coordinator_.lastErrors());
}

std::vector<CatalogWindowRules::SidebarRow> CatalogWindowState::sidebarRows() const {
    return CatalogWindowRules::sidebarRows(coordinator_.library().entries(),
                                           coordinator_.pendingNew(), coordinator_.activity(),
                                           coordinator_.lastErrors(), entryStatus_);
}

CatalogWindowState::Detail CatalogWindowState::detail() const {
    const CatalogEntry* entry = model_.selectedEntry();
    if (!entry)
        return {Detail::Kind::empty,
                CatalogWindowRules::emptyTitle(coordinator_.library().entries().empty()),
                {}};
    if (entry->health.isDamaged())
        return {Detail::Kind::damaged, entry->health.reason,
                CatalogWindowRules::damagedHint(*entry)};
    return {Detail::Kind::browser, {}, {}};
}

} // namespace ulmaro
