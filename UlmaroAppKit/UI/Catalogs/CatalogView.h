#pragma once

#include "UlmaroAppKit/Catalogs/CatalogWindowRules.h"

#include <QSplitter>
#include <functional>
#include <optional>
#include <string>

class QStackedWidget;

namespace ulmaro {

class CatalogSidebarView;
class CatalogStatePage;

/// The catalog window's content: the sidebar of catalogs beside the detail, which is the
/// empty state, a damaged catalog's notice, or the folder browser handed in. It shows what
/// it is told; the window's state decides. GUI thread only.
class CatalogView final : public QSplitter {
    Q_OBJECT
public:
    enum class Detail { empty, damaged, browser };

    /// `browser` is the folder browser of the window's model; the view takes it.
    explicit CatalogView(QWidget* browser, QWidget* parent = nullptr);

    std::function<void(const std::optional<std::string>&)>& onSelect();
    std::function<void()>& onAddFolder();

    void setRows(const std::vector<CatalogWindowRules::SidebarRow>& rows,
                 const std::optional<std::string>& selectedID);
    void showEmpty(const std::string& title);
    void showDamaged(const std::string& reason, const std::string& hint);
    void showBrowser();

    Detail detail() const { return detail_; }
    CatalogSidebarView& sidebar() const { return *sidebar_; }
    CatalogStatePage& emptyPage() const { return *empty_; }
    CatalogStatePage& damagedPage() const { return *damaged_; }
    QWidget& browser() const { return *browser_; }

private:
    CatalogSidebarView* sidebar_;
    QStackedWidget* pages_;
    CatalogStatePage* empty_;
    CatalogStatePage* damaged_;
    QWidget* browser_;
    Detail detail_ = Detail::empty;
};

} // namespace ulmaro
