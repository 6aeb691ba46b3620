#include "UlmaroAppKit/UI/Qt/QtKeyPressSource.h"

#include "UlmaroAppKit/Shell/X11KeyMap.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>
#include <utility>
#include <xcb/xcb_keysyms.h>

namespace ulmaro {
namespace {

constexpr std::pair<int, std::uint32_t> specialKeys[] = {
    {Qt::Key_Return, 0xff0d},  {Qt::Key_Enter, 0xff0d},  {Qt::Key_Tab, 0xff09},
    {Qt::Key_Backtab, 0xff09}, {Qt::Key_Escape, 0xff1b}, {Qt::Key_Backspace, 0xff08},
    {Qt::Key_Insert, 0xff63},  {Qt::Key_Delete, 0xffff}, {Qt::Key_Home, 0xff50},
    {Qt::Key_End, 0xff57},     {Qt::Key_PageUp, 0xff55}, {Qt::Key_PageDown, 0xff56},
    {Qt::Key_Left, 0xff51},    {Qt::Key_Right, 0xff53},  {Qt::Key_Down, 0xff54},
    {Qt::Key_Up, 0xff52},
};

bool isModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
        return true;
    default:
        return false;
    }
}

class Filter final : public QObject {
public:
    Filter(KeyPressSource::Handler handler, QtKeyPressSource::Window window)
        : handler_(std::move(handler)), window_(std::move(window)) {
        if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
            if (x11->connection()) symbols_ = xcb_key_symbols_alloc(x11->connection());
    }
    ~Filter() override {
        if (symbols_) xcb_key_symbols_free(symbols_);
    }

    void deactivate() { active_ = false; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!active_) return false;
        if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
            return false;
        if (!aimedAtTheWindow(watched)) return false;
        if (event->type() == QEvent::ShortcutOverride) {
            // Accepted, the press goes to the focus widget as a key press, where it is
            // taken below, instead of firing a shortcut.
            event->accept();
            return true;
        }
        const auto& key = static_cast<const QKeyEvent&>(*event);
        std::optional<std::uint32_t> keysym;
        if (symbols_ && key.nativeScanCode() != 0) {
            const auto first = xcb_key_symbols_get_keysym(
                symbols_, static_cast<xcb_keycode_t>(key.nativeScanCode()), 0);
            if (first != XCB_NO_SYMBOL) keysym = first;
        }
        // The handler may remove this monitor; nothing of it is touched afterwards.
        const KeyPressSource::Handler handler = handler_;
        handler(QtKeyPressSource::recordedKeyPress(key, keysym));
        return true;
    }

private:
    bool aimedAtTheWindow(QObject* watched) const {
        if (!watched->isWidgetType() || !window_) return false;
        const QWidget* window = window_();
        return window && static_cast<QWidget*>(watched)->window() == window;
    }

    KeyPressSource::Handler handler_;
    QtKeyPressSource::Window window_;
    xcb_key_symbols_t* symbols_ = nullptr;
    bool active_ = true;
};

class QtMonitor final : public KeyPressSource::Monitor {
public:
    QtMonitor(KeyPressSource::Handler handler, QtKeyPressSource::Window window)
        : filter_(new Filter(std::move(handler), std::move(window))) {
        qApp->installEventFilter(filter_);
    }
    ~QtMonitor() override {
        if (!filter_) return;
        filter_->deactivate();
        qApp->removeEventFilter(filter_);
        // Later: this may run inside the filter's own handler.
        filter_->deleteLater();
    }

private:
    QPointer<Filter> filter_;
};

} // namespace

QtKeyPressSource::QtKeyPressSource(Window window) : window_(std::move(window)) {}

std::unique_ptr<KeyPressSource::Monitor> QtKeyPressSource::addMonitor(Handler handler) {
    if (!qApp) return nullptr;
    return std::make_unique<QtMonitor>(std::move(handler), window_);
}

std::optional<std::uint32_t> QtKeyPressSource::keysymOfQtKey(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<std::uint32_t>(key - Qt::Key_A + 'a');
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde) return static_cast<std::uint32_t>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return static_cast<std::uint32_t>(0xffbe + (key - Qt::Key_F1));
    for (const auto& [qtKey, keysym] : specialKeys)
        if (qtKey == key) return keysym;
    return std::nullopt;
}

RecordedKeyPress QtKeyPressSource::recordedKeyPress(const QKeyEvent& event,
                                                    std::optional<std::uint32_t> unshiftedKeysym) {
    using Press = RecordedKeyPress;
    Press press;
    const Qt::KeyboardModifiers mods = event.modifiers();
    if (mods.testFlag(Qt::ControlModifier)) press.flags |= Press::control;
    if (mods.testFlag(Qt::AltModifier)) press.flags |= Press::alt;
    if (mods.testFlag(Qt::ShiftModifier)) press.flags |= Press::shift;
    if (mods.testFlag(Qt::MetaModifier)) press.flags |= Press::super;
    if (mods.testFlag(Qt::KeypadModifier)) press.flags |= Press::keypad;
    if (mods.testFlag(Qt::GroupSwitchModifier)) press.flags |= Press::other;

    const int key = event.key();
    if (key == Qt::Key_Escape) {
        press.kind = Press::Kind::escape;
        return press;
    }
    if (isModifierKey(key)) {
        press.kind = Press::Kind::modifier;
        return press;
    }
    const std::optional<std::uint32_t> keysym =
        unshiftedKeysym ? unshiftedKeysym : keysymOfQtKey(key);
    const std::optional<std::uint32_t> code = keysym ? X11KeyMap::keyCode(*keysym) : std::nullopt;
    if (!code) {
        press.kind = Press::Kind::unnamed;
        return press;
    }
    press.kind = Press::Kind::key;
    press.keyCode = *code;
    return press;
}

} // namespace ulmaro
