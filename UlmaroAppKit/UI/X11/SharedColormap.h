#pragma once

#include <QObject>

namespace ulmaro {

/// Gives every window of the application that has the screen's own visual the screen's
/// default colormap, as it is created. Qt makes one colormap of its own for all its windows,
/// other than the one the window manager's frames and the root use; a capture of the screen
/// such as `xwd -root` then rebuilds the picture one colormap at a time, reading each from the
/// lowest window that has it, and a window of ours over another of ours (a chooser over the
/// catalog window) comes out black. One colormap throughout reads right; on a TrueColor
/// screen nothing else changes. Off X11 it does nothing.
class SharedColormap final : public QObject {
public:
    /// Installed once on the application, before its first window.
    static void install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};

} // namespace ulmaro
