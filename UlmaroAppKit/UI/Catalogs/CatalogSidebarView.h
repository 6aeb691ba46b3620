#pragma once

#include "UlmaroAppKit/Catalogs/CatalogWindowRules.h"

#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QListView;
class QStandardItemModel;

namespace ulmaro {

/// The catalog window's sidebar: the header "Catalogs" over one row per catalog
/// (`CatalogSidebarRow`), then the catalogs still being made, which cannot be selected. The
/// selection is the window's selected catalog: `setSelectedID` shows it, a click reports it.
class CatalogSidebarView final : public QWidget {
    Q_OBJECT
public:
    static constexpr int listMinimumWidth = 200;
    static constexpr int listIdealWidth = 230;

    explicit CatalogSidebarView(QWidget* parent = nullptr);

    /// The user chose another catalog (none when the selection was cleared).
    std::function<void(const std::optional<std::string>&)> onSelect;

    void setRows(const std::vector<CatalogWindowRules::SidebarRow>& rows);
    void setSelectedID(const std::optional<std::string>& id);

    QListView& list() const { return *list_; }
    /// The colour a role is drawn in.
    static QColor colour(CatalogWindowRules::Colour role, const QPalette& palette);

    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<std::string> idAt(int row) const;

    QListView* list_;
    QStandardItemModel* model_;
    bool applying_ = false;
};

} // namespace ulmaro
