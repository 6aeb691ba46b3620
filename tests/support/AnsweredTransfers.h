#pragma once

// Transfers the test answers by hand: what each action asks, and each outcome when the test
// chooses.

#include "UlmaroAppKit/Catalogs/CatalogTransferring.h"

#include <string>
#include <utility>
#include <vector>

namespace ulmaro::test {

/// Records what it is asked; completions wait until the test runs them.
class AnsweredTransfers final : public CatalogTransferring {
public:
    Observable<bool> transferring{false};
    std::vector<std::pair<std::string, std::string>> exports;
    std::vector<std::string> imports;
    std::vector<std::pair<std::string, bool>> resolved;
    ExportDone exportDone;
    ImportDone importDone;
    CatalogCoordinator::ImportOutcome replaced = CatalogCoordinator::Failed{};

    bool isTransferring() const override { return transferring.get(); }
    Subscription observeTransferring(std::function<void(const bool&)> f) override {
        return transferring.subscribe(std::move(f));
    }
    void exportCatalog(const std::string& id, const std::string& path, ExportDone done) override {
        exports.emplace_back(id, path);
        exportDone = std::move(done);
    }
    void importCatalog(const std::string& path, ImportDone done) override {
        imports.push_back(path);
        importDone = std::move(done);
    }
    CatalogCoordinator::ImportOutcome resolve(const CatalogCoordinator::PendingImport& pending,
                                              bool replace) override {
        resolved.emplace_back(pending.info.id, replace);
        return replace ? replaced : CatalogCoordinator::ImportOutcome{CatalogCoordinator::Failed{}};
    }
};

} // namespace ulmaro::test
