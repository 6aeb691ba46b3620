#pragma once

#include "UlmaroAppKit/Catalogs/CatalogCoordinator.h"
#include "UlmaroAppKit/Platform/Observable.h"

#include <functional>
#include <optional>
#include <string>

namespace ulmaro {

/// Moving catalogs in and out as archives or file lists, as the catalog window asks for it:
/// the work runs elsewhere and each completion is called on the main thread.
class CatalogTransferring {
public:
    using ExportDone = std::function<void(const std::optional<std::string>& failure)>;
    using ImportDone = std::function<void(const CatalogCoordinator::ImportOutcome&)>;

    virtual ~CatalogTransferring() = default;

    /// True while an export or an import runs.
    virtual bool isTransferring() const = 0;
    [[nodiscard]] virtual Subscription observeTransferring(std::function<void(const bool&)> f) = 0;
    /// Writes the catalog's archive at `path`; the failure's whole text, none on success.
    virtual void exportCatalog(const std::string& id, const std::string& path, ExportDone done) = 0;
    /// Reads an archive or an EFU list at `path`.
    virtual void importCatalog(const std::string& path, ImportDone done) = 0;
    /// Installs the unpacked copy (and forgets the catalog it replaces) or deletes it.
    virtual CatalogCoordinator::ImportOutcome
    resolve(const CatalogCoordinator::PendingImport& pending, bool replace) = 0;
};

/// The coordinator's own export and import.
class CoordinatorTransfers final : public CatalogTransferring {
public:
    explicit CoordinatorTransfers(CatalogCoordinator& coordinator) : coordinator_(coordinator) {}

    bool isTransferring() const override { return coordinator_.isTransferring(); }
    Subscription observeTransferring(std::function<void(const bool&)> f) override {
        return coordinator_.observeIsTransferring(std::move(f));
    }
    void exportCatalog(const std::string& id, const std::string& path, ExportDone done) override {
        coordinator_.exportCatalog(id, path, std::move(done));
    }
    void importCatalog(const std::string& path, ImportDone done) override {
        coordinator_.importCatalog(path, std::move(done));
    }
    CatalogCoordinator::ImportOutcome resolve(const CatalogCoordinator::PendingImport& pending,
                                              bool replace) override {
        return coordinator_.resolve(pending, replace);
    }

private:
    CatalogCoordinator& coordinator_;
};

} // namespace ulmaro
