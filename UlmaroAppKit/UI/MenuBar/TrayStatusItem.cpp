#include "UlmaroAppKit/UI/MenuBar/TrayStatusItem.h"

#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/MenuBar/MenuBarIconPainter.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QScreen>
#include <algorithm>
#include <cstdio>

namespace ulmaro {
namespace {

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

QColor tintColor(MenuTint tint) {
    switch (tint) {
    case MenuTint::orange:
        return Theme::orange();
    case MenuTint::secondary:
        return Theme::text(Theme::Level::secondary);
    case MenuTint::green:
        return Theme::green();
    case MenuTint::none:
        break;
    }
    return Theme::text(Theme::Level::primary);
}

void writeToStandardError(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

} // namespace

TrayStatusItem::TrayStatusItem(LineWriter log, QObject* parent)
    : QObject(parent), log_(log ? std::move(log) : LineWriter(writeToStandardError)),
      menu_(std::make_unique<QMenu>()) {
    menu_->setToolTipsVisible(true);
    tray_.setContextMenu(menu_.get());
    connect(menu_.get(), &QMenu::aboutToShow, this, [this] {
        if (listener_) listener_->menuWillOpen();
    });
    connect(menu_.get(), &QMenu::aboutToHide, this, [this] {
        if (listener_) listener_->menuDidClose();
    });
    // A left click opens the same menu; there is no other click action.
    connect(&tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) menu_->popup(QCursor::pos());
            });
    qApp->installEventFilter(this);
    redrawIcon();
}

TrayStatusItem::~TrayStatusItem() {
    qApp->removeEventFilter(this);
    tray_.setContextMenu(nullptr);
}

bool TrayStatusItem::desktopShowsTray() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayStatusItem::show() {
    if (!desktopShowsTray())
        log_("Ulmaro: this desktop shows no tray icons; running ulmaro again opens the panel, "
             "whose Ctrl+, and Ctrl+Q reach everything.");
    tray_.show();
}

void TrayStatusItem::setListener(Listener* listener) {
    listener_ = listener;
}

void TrayStatusItem::setIcon(MenuBarViewModel::IconState::Glyph glyph, int animationPhase,
                             const std::string& accessibilityDescription) {
    description_ = qt(accessibilityDescription);
    // An icon travels to the tray over D-Bus: the same one is not sent again.
    if (glyph == glyph_ && animationPhase == phase_ && !tray_.icon().isNull()) return;
    glyph_ = glyph;
    phase_ = animationPhase;
    redrawIcon();
}

void TrayStatusItem::redrawIcon() {
    const QColor color = QApplication::palette().color(QPalette::WindowText);
    tray_.setIcon(MenuBarIconPainter::icon(glyph_, phase_, color));
}

void TrayStatusItem::setToolTip(const std::string& text) {
    const QString toolTip = qt(text);
    if (toolTip != tray_.toolTip()) tray_.setToolTip(toolTip);
}

QString TrayStatusItem::actionText(const MenuItemSpec& item) {
    QString text = qt(item.title);
    text.replace(QLatin1Char('&'), QLatin1String("&&"));
    if (!item.shortcutHint.empty()) text += QLatin1Char('\t') + qt(item.shortcutHint);
    return text;
}

void TrayStatusItem::setMenu(const MenuSpec& menu) {
    menu_->clear();
    for (const auto& submenu : submenus_)
        if (submenu) submenu->deleteLater();
    submenus_.clear();
    healthActions_.clear();
    fill(*menu_, menu.items, true);
}

void TrayStatusItem::fill(QMenu& menu, const std::vector<MenuItemSpec>& items, bool topLevel) {
    for (const MenuItemSpec& item : items) {
        if (item.separator) {
            menu.addSeparator();
            continue;
        }
        QAction* action = nullptr;
        if (!item.submenu.empty()) {
            auto* submenu = new QMenu(actionText(item), &menu);
            submenu->setToolTipsVisible(true);
            submenus_.emplace_back(submenu);
            fill(*submenu, item.submenu, false);
            action = menu.addMenu(submenu);
        } else {
            action = menu.addAction(actionText(item));
            if (item.action != MenuAction::none) {
                // Queued: the callback may rebuild this menu, and so delete the action,
                // while the menu is still delivering the click.
                connect(action, &QAction::triggered, this,
                        [this, kind = item.action, payload = item.payload] {
                            QMetaObject::invokeMethod(
                                this,
                                [this, kind, payload] {
                                    if (listener_) listener_->perform(kind, payload);
                                },
                                Qt::QueuedConnection);
                        });
            }
        }
        action->setEnabled(item.enabled);
        if (item.checkable) {
            action->setCheckable(true);
            action->setChecked(item.checked);
        }
        if (!item.tooltip.empty()) action->setToolTip(qt(item.tooltip));
        if (!item.symbol.empty()) action->setIcon(Symbols::icon(item.symbol, tintColor(item.tint)));
        if (topLevel && item.healthLine) healthActions_.emplace_back(action);
    }
}

void TrayStatusItem::retitleHealthLines(const std::vector<std::string>& titles) {
    for (std::size_t i = 0; i < titles.size() && i < healthActions_.size(); ++i)
        if (healthActions_[i]) healthActions_[i]->setText(actionText({.title = titles[i]}));
    keepOpenMenuOnScreen();
}

void TrayStatusItem::keepOpenMenuOnScreen() {
    // An open menu grows to the right when a line gets longer, but it was placed for its old
    // width: at the screen's right edge it would now run off it. Lines are only retitled, so
    // only the width changes.
    if (!menu_->isVisible()) return;
    menu_->resize(menu_->sizeHint());
    const QRect available = menu_->screen()->availableGeometry();
    QRect frame = menu_->geometry();
    if (frame.right() > available.right()) frame.moveRight(available.right());
    frame.moveLeft(std::max(frame.left(), available.left()));
    if (frame.x() != menu_->x()) menu_->move(frame.topLeft());
}

bool TrayStatusItem::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) redrawIcon();
    return QObject::eventFilter(watched, event);
}

} // namespace ulmaro
