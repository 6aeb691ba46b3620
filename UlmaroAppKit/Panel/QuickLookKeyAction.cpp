#include "UlmaroAppKit/Panel/QuickLookKeyAction.h"

namespace ulmaro {

QuickLookKeyAction QuickLookKeyAction::classify(const std::optional<PanelKeyPress>& key) {
    if (!key) return passThrough();
    switch (key->key) {
    case PanelKeyPress::Key::escape:
        return close();
    case PanelKeyPress::Key::down:
        return move(+1);
    case PanelKeyPress::Key::up:
        return move(-1);
    default:
        break;
    }
    if (key->text == " ") return close();
    if (key->modifiers.ctrl && (key->text == "y" || key->text == "Y")) return close();
    return passThrough();
}

} // namespace ulmaro
