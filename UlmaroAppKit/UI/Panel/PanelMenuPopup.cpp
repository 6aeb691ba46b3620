#include "UlmaroAppKit/UI/Panel/PanelMenuPopup.h"

#include <QMenu>

namespace ulmaro {

QMenu* makePanelMenu(const std::vector<PanelMenuItem>& items, QWidget* parent) {
    auto* menu = new QMenu(parent);
    for (const PanelMenuItem& item : items) {
        if (item.isDivider()) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromStdString(item.title));
        QObject::connect(action, &QAction::triggered, menu, [action = item.action] {
            if (action) action();
        });
    }
    return menu;
}

} // namespace ulmaro
