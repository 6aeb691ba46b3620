#pragma once

#include "UlmaroAppKit/Catalogs/CatalogBrowsing.h"
#include "UlmaroAppKit/Catalogs/CatalogItemActions.h"
#include "UlmaroAppKit/Platform/Workspace.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogItemRow.h"

#include <QSplitter>
#include <functional>
#include <optional>
#include <string>

class QListView;
class QMenu;

namespace ulmaro {

class CatalogBreadcrumbBar;
class CatalogInfoPanel;
class CatalogItemListModel;

/// The catalog window's folder browser: on the left the trail, a divider and the list of
/// the folder shown (selection bound both ways to the model's `highlighted`; a right-click
/// gives the item's menu, a double-click opens it); on the right the catalog's facts and
/// last error. It keeps no state of its own beyond the list's rows. GUI thread only.
class CatalogBrowserView final : public QSplitter {
    Q_OBJECT
public:
    /// The browser model's shared texts.
    struct Texts {
        CatalogItemRow::SizeText sizeText;
        CatalogItemRow::DateText dateText;
        std::function<std::vector<CatalogBrowsing::InfoLine>(const CatalogEntry&)> infoLines;
    };
    /// The texts of `CatalogBrowserModel`.
    static Texts modelTexts();

    static constexpr int folderPaneMinimumWidth = 420;
    static constexpr int infoPaneMinimumWidth = 220;
    static constexpr int infoPaneWidth = 250;
    static constexpr int infoPaneMaximumWidth = 320;

    CatalogBrowserView(CatalogBrowsing& model, Workspace& workspace, Texts texts,
                       QWidget* parent = nullptr);
    ~CatalogBrowserView() override;

    /// A message for the user ("Connect … to open this."); the window shows it.
    std::function<void(const std::string&)> onMessage;

    /// The last scan error of the catalog shown, none while its last scan did not fail.
    void setLastError(std::optional<std::string> error);
    /// Reads the selected entry again (after the library changed).
    void refreshInfo();

    CatalogBreadcrumbBar& breadcrumbBar() const { return *breadcrumb_; }
    QListView& list() const { return *list_; }
    CatalogInfoPanel& infoPanel() const { return *info_; }
    CatalogItemRow& rowDelegate() const { return *rows_; }

    /// The menu for a right-click at `position` in the list's viewport, none over empty
    /// space; its actions run the entries.
    QMenu* menuAt(const QPoint& position);
    /// What a double-click on `row` does.
    void activateRow(int row);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showHighlighted();
    void report(const std::optional<std::string>& message);

    CatalogBrowsing& model_;
    CatalogItemActions actions_;
    Texts texts_;
    std::optional<std::string> lastError_;
    CatalogBreadcrumbBar* breadcrumb_;
    QListView* list_;
    CatalogItemListModel* listModel_;
    CatalogItemRow* rows_;
    CatalogInfoPanel* info_;
    bool applyingHighlight_ = false;
    bool infoPanePlaced_ = false;
    Subscription highlighted_;
    Subscription items_;
};

} // namespace ulmaro
