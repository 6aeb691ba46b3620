#include "UlmaroAppKit/Catalogs/CatalogBrowserAdapter.h"

namespace ulmaro {
CatalogBrowserAdapter::CatalogBrowserAdapter(CatalogLibrary& library) : model_(library) {
    selected_ = model_.observeSelectedID([this](const auto& id) { selectedID.set(id); });
    trail_ = model_.observeTrail([this](const auto& walked) { trail.set(walked); });
    items_ = model_.observeItems([this](const auto& listed) { items.set(listed); });
    highlighted_ = model_.observeHighlighted([this](const auto& id) { highlighted.set(id); });
}

} // namespace ulmaro
