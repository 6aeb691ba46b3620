#include "UlmaroAppKit/UI/MenuBar/AppMenuShortcut.h"

#include <QAction>
#include <QCoreApplication>
#include <QWidget>

namespace ulmaro {

QKeySequence appMenuShortcut(const AppMenuItem& item) {
    if (item.isSeparator() || item.key.empty()) return {};
    QString text;
    if (item.modifiers.ctrl) text += QStringLiteral("Ctrl+");
    if (item.modifiers.alt) text += QStringLiteral("Alt+");
    if (item.modifiers.shift) text += QStringLiteral("Shift+");
    if (item.modifiers.super) text += QStringLiteral("Meta+");
    text += QString::fromStdString(item.key).toUpper();
    return QKeySequence(text, QKeySequence::PortableText);
}

void addQuitShortcut(QWidget& window) {
    for (const auto& menu : AppMainMenu::make("Ulmaro"))
        for (const auto& item : menu.items) {
            if (item.action != AppMenuAction::terminate) continue;
            auto* quit = new QAction(QString::fromStdString(item.title), &window);
            quit->setShortcut(appMenuShortcut(item));
            quit->setShortcutContext(Qt::WindowShortcut);
            QObject::connect(quit, &QAction::triggered, [] { QCoreApplication::quit(); });
            window.addAction(quit);
        }
}

} // namespace ulmaro
