#pragma once

#include "UlmaroAppKit/Catalogs/CatalogBrowserModel.h"
#include "UlmaroAppKit/Catalogs/CatalogBrowsing.h"

namespace ulmaro {

/// The browser model as the catalog window reads it: each change the model publishes is
/// passed on, and each move is forwarded. A row the user selects only sets the window's
/// `highlighted`; the model's next move publishes its own again. Main thread only.
class CatalogBrowserAdapter final : public CatalogBrowsing {
public:
    explicit CatalogBrowserAdapter(CatalogLibrary& library);
    CatalogBrowserAdapter(const CatalogBrowserAdapter&) = delete;
    CatalogBrowserAdapter& operator=(const CatalogBrowserAdapter&) = delete;

    CatalogBrowserModel& model() { return model_; }

    const CatalogEntry* selectedEntry() const override { return model_.selectedEntry(); }
    void select(const std::optional<std::string>& catalogID) override { model_.select(catalogID); }
    void reveal(const std::string& path, const std::string& catalogID) override {
        model_.reveal(path, catalogID);
    }
    void libraryChanged() override { model_.libraryChanged(); }
    std::vector<std::string> breadcrumb() const override { return model_.breadcrumb(); }
    void goUp() override { model_.goUp(); }
    void goTo(int depth) override { model_.goTo(depth); }
    void open(const Item& item) override { model_.open(item); }
    std::optional<std::string> path(const Item& item) const override { return model_.path(item); }

private:
    CatalogBrowserModel model_;
    Subscription selected_;
    Subscription items_;
    Subscription trail_;
    Subscription highlighted_;
};

} // namespace ulmaro
