#include "UlmaroAppKit/UI/AppMenuShortcut.h"

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

} // namespace ulmaro
