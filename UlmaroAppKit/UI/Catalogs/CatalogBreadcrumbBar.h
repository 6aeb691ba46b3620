#pragma once

#include "UlmaroAppKit/Catalogs/CatalogBrowsing.h"

#include <QWidget>
#include <vector>

class QHBoxLayout;

namespace ulmaro {

class StyledButton;

/// The folder trail above the browser's list: a back button, disabled at the catalog's
/// root, then one button per name of the model's `breadcrumb` (the catalog, then each
/// folder), separated by chevrons; a crumb goes back to its depth. Follows the model.
class CatalogBreadcrumbBar final : public QWidget {
    Q_OBJECT
public:
    explicit CatalogBreadcrumbBar(CatalogBrowsing& model, QWidget* parent = nullptr);

    StyledButton& backButton() const { return *back_; }
    const std::vector<StyledButton*>& crumbs() const { return crumbs_; }
    int separatorCount() const { return int(separators_.size()); }

    /// Rebuilds the crumbs from the model.
    void refresh();

private:
    CatalogBrowsing& model_;
    QHBoxLayout* row_;
    StyledButton* back_;
    std::vector<StyledButton*> crumbs_;
    std::vector<QWidget*> separators_;
    Subscription trail_;
    Subscription items_;
};

} // namespace ulmaro
