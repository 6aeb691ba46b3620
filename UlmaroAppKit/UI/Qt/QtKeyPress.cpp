#include "UlmaroAppKit/UI/Qt/QtKeyPress.h"

#include <QKeyEvent>

namespace ulmaro {

PanelKeyPress panelKeyPress(const QKeyEvent& event) {
    PanelKeyPress press;
    const int key = event.key();
    switch (key) {
    case Qt::Key_Escape:
        press.key = PanelKeyPress::Key::escape;
        break;
    case Qt::Key_Up:
        press.key = PanelKeyPress::Key::up;
        break;
    case Qt::Key_Down:
        press.key = PanelKeyPress::Key::down;
        break;
    case Qt::Key_Return:
        press.key = PanelKeyPress::Key::returnKey;
        break;
    case Qt::Key_Enter:
        press.key = PanelKeyPress::Key::keypadEnter;
        break;
    default:
        break;
    }
    // With Ctrl held `text()` is a control character, so the key code says what it types.
    if (key == Qt::Key_Space || (key >= Qt::Key_0 && key <= Qt::Key_9))
        press.text = std::string(1, static_cast<char>(key));
    else if (key >= Qt::Key_A && key <= Qt::Key_Z)
        press.text = std::string(1, static_cast<char>(key - Qt::Key_A + 'a'));
    else if (!event.text().isEmpty() && event.text().at(0).isPrint())
        press.text = event.text().toStdString();
    const Qt::KeyboardModifiers mods = event.modifiers();
    press.modifiers.shift = mods.testFlag(Qt::ShiftModifier);
    press.modifiers.ctrl = mods.testFlag(Qt::ControlModifier);
    press.modifiers.alt = mods.testFlag(Qt::AltModifier);
    press.modifiers.super = mods.testFlag(Qt::MetaModifier);
    return press;
}

} // namespace ulmaro
