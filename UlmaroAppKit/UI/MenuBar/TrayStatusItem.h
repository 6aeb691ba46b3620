#pragma once

#include "UlmaroAppKit/MenuBar/StatusItemView.h"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ulmaro {

/// The tray item on Qt: a `QSystemTrayIcon` and one `QMenu` filled from each `MenuSpec`.
/// A left click pops up the same menu. Key hints are text beside the title, never live
/// shortcuts; tray menus show no rich text, so titles are plain. The mark is drawn in the
/// palette's window-text colour and redrawn when the palette changes. GUI thread only.
class TrayStatusItem final : public QObject, public StatusItemView {
    Q_OBJECT
public:
    using LineWriter = std::function<void(const std::string& line)>;

    /// `log` (standard error by default) gets one line when the desktop has no tray.
    explicit TrayStatusItem(LineWriter log = {}, QObject* parent = nullptr);
    ~TrayStatusItem() override;

    /// Shows the icon; without a tray says so once and runs on, since Qt adds the icon when
    /// a tray appears later.
    void show();

    void setListener(Listener* listener) override;
    void setIcon(MenuBarViewModel::IconState::Glyph glyph, int animationPhase,
                 const std::string& accessibilityDescription) override;
    void setToolTip(const std::string& text) override;
    void setMenu(const MenuSpec& menu) override;
    void retitleHealthLines(const std::vector<std::string>& titles) override;
    bool desktopShowsTray() const override;

    QSystemTrayIcon& trayIcon() { return tray_; }
    QMenu& menu() { return *menu_; }
    const QString& accessibilityDescription() const { return description_; }
    /// The menu's title for an item: "&" kept literal, the hint after a tab.
    static QString actionText(const MenuItemSpec& item);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void redrawIcon();
    void keepOpenMenuOnScreen();
    void fill(QMenu& menu, const std::vector<MenuItemSpec>& items, bool topLevel);

    LineWriter log_;
    QSystemTrayIcon tray_;
    std::unique_ptr<QMenu> menu_;
    std::vector<QPointer<QMenu>> submenus_;
    std::vector<QPointer<QAction>> healthActions_;
    Listener* listener_ = nullptr;
    MenuBarViewModel::IconState::Glyph glyph_ = MenuBarViewModel::IconState::Glyph::ready;
    int phase_ = 0;
    QString description_;
};

} // namespace ulmaro
