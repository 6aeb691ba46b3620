#include "UlmaroAppKit/Catalogs/CatalogWindowActions.h"

#include "UlmaroKit/Catalogs/CatalogArchive.h"

#include <type_traits>

namespace ulmaro {
namespace {

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};

} // namespace

CatalogWindowActions::CatalogWindowActions(CatalogWindowState& state,
                                           CatalogTransferring& transfers, FileChooser& chooser)
    : state_(state), transfers_(transfers), chooser_(chooser),
      alive_(std::make_shared<CatalogWindowActions*>(this)) {}

CatalogWindowActions::~CatalogWindowActions() = default;

bool CatalogWindowActions::canRescan() const {
    const CatalogEntry* entry = state_.model().selectedEntry();
    if (!entry || !entry->isOnline() || entry->info.kind == CatalogInfo::Kind::efu) return false;
    const auto& running = state_.coordinator().running();
    return !running || running->job.info.id != entry->info.id;
}

bool CatalogWindowActions::canExport() const {
    const CatalogEntry* entry = state_.model().selectedEntry();
    return entry && entry->store && !transfers_.isTransferring();
}

bool CatalogWindowActions::canImport() const {
    return !transfers_.isTransferring();
}

bool CatalogWindowActions::canForget() const {
    return state_.model().selectedID.get().has_value();
}

void CatalogWindowActions::addFolder() {
    const auto chosen = chooser_.chooseFolders(std::string("Catalog"), true);
    if (!chosen) return;
    std::string problems;
    for (const std::string& path : *chosen) {
        const std::string problem = std::visit(
            Overloaded{[](const CatalogCoordinator::Started&) { return std::string(); },
                       [](const CatalogCoordinator::AlreadyCovered& covered) {
                           return "Already covered by " + covered.name + ".";
                       },
                       [](const CatalogCoordinator::NotOnAVolume&) {
                           return std::string("That folder isn\u2019t on a drive Ulmaro can see.");
                       }},
            state_.coordinator().addFolder(path));
        if (problem.empty()) continue;
        if (!problems.empty()) problems += '\n';
        problems += problem;
    }
    if (!problems.empty()) state_.message.set(problems);
}

void CatalogWindowActions::rescan() {
    if (const auto& id = state_.model().selectedID.get()) state_.coordinator().rescan(*id);
}

std::string CatalogWindowActions::exportFileName(std::string_view catalogName) {
    std::string name(catalogName);
    for (char& c : name)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '-';
    if (name.empty() || name == "." || name == "..") name = "Catalog";
    return name + "." + std::string(CatalogArchive::fileExtension);
}

void CatalogWindowActions::exportSelected() {
    const CatalogEntry* entry = state_.model().selectedEntry();
    if (!entry) return;
    const std::string id = entry->info.id;
    const auto path = chooser_.chooseSaveLocation(exportFileName(entry->info.name),
                                                  std::string(CatalogArchive::fileExtension));
    if (!path) return;
    std::weak_ptr<CatalogWindowActions*> alive = alive_;
    transfers_.exportCatalog(id, *path, [alive](const std::optional<std::string>& failure) {
        if (const auto self = alive.lock(); self && failure) (*self)->state_.message.set(*failure);
    });
}

void CatalogWindowActions::importFile() {
    const auto path = chooser_.chooseFile(
        "Import", {std::string(CatalogArchive::fileExtension), std::string("efu")});
    if (!path) return;
    std::weak_ptr<CatalogWindowActions*> alive = alive_;
    transfers_.importCatalog(*path, [alive](const CatalogCoordinator::ImportOutcome& outcome) {
        if (const auto self = alive.lock()) (*self)->handle(outcome);
    });
}

void CatalogWindowActions::handle(const CatalogCoordinator::ImportOutcome& outcome) {
    std::visit(Overloaded{[&](const CatalogCoordinator::Imported& imported) {
                              state_.model().select(imported.id);
                              if (!imported.note.empty()) state_.message.set(imported.note);
                          },
                          [&](const CatalogCoordinator::Conflict& conflict) {
                              // The question stays up with the newer title; the copy it
                              // asked about is settled as kept, so it is deleted.
                              const auto earlier = state_.pendingImport.get();
                              state_.pendingImport.set(conflict.pending);
                              if (earlier) (void)transfers_.resolve(*earlier, false);
                          },
                          [&](const CatalogCoordinator::Failed& failed) {
                              if (!failed.message.empty()) state_.message.set(failed.message);
                          }},
               outcome);
}

std::string CatalogWindowActions::importTitle() const {
    std::string name;
    if (const auto& pending = state_.pendingImport.get())
        if (const CatalogEntry* entry = state_.coordinator().library().entry(pending->replacing))
            name = entry->info.name;
    return "A catalog of \u201c" + name + "\u201d already exists.";
}

void CatalogWindowActions::replace() {
    auto pending = state_.pendingImport.get();
    if (!pending) return;
    state_.pendingImport.set(std::nullopt);
    handle(transfers_.resolve(*pending, true));
}

void CatalogWindowActions::cancelPendingImport() {
    auto pending = state_.pendingImport.get();
    if (!pending) return;
    state_.pendingImport.set(std::nullopt);
    (void)transfers_.resolve(*pending, false);
}

std::string CatalogWindowActions::forgetTitle() const {
    const CatalogEntry* entry = state_.model().selectedEntry();
    if (!entry) return "Forget this catalog?";
    if (entry->health.isDamaged() && entry->info.name == entry->info.id)
        return "Forget this damaged catalog?";
    return "Forget \u201c" + entry->info.name + "\u201d?";
}

void CatalogWindowActions::forget() {
    const auto id = state_.model().selectedID.get();
    if (!id) return;
    state_.reselectAfterForget.set(true);
    if (state_.coordinator().forget(*id)) return;
    state_.reselectAfterForget.set(false);
    state_.message.set(std::string("Couldn\u2019t move the catalog to the Trash."));
}

} // namespace ulmaro
