#pragma once

#include "UlmaroAppKit/Settings/WindowFrameStore.h"

#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace ulmaro {

/// A window kept for the life of the application (the catalog and settings windows): built
/// on the first `show()`, hidden when the user closes it, the same window with the same
/// content on every later `show()`. Its frame is remembered under its autosave name
/// (`WindowFrameStore`) as it moves and resizes; when it is built the remembered size comes
/// back and the window is centred on the primary screen, once. Like the panel, it answers
/// the main menu's quit key (Ctrl+Q). GUI thread only.
class KeptWindow {
public:
    struct Options {
        QString title;
        std::string autosaveName;
        QSize minimumSize;
        /// The size of a window that has no remembered frame.
        QSize initialSize;
        bool minimisable = true;
    };
    /// Makes the window's content, once, when the window is built.
    using Builder = std::function<QWidget*()>;

    KeptWindow(SettingsStore& settings, Options options, Builder buildContent);
    ~KeptWindow();
    KeptWindow(const KeptWindow&) = delete;
    KeptWindow& operator=(const KeptWindow&) = delete;

    /// Builds the window when it is not yet built, then brings it to the front.
    void show();
    /// Shows the window (restoring it when minimised), raises it and asks for the keyboard.
    void bringToFront();

    /// None until the first `show()`.
    QWidget* window() const { return window_.get(); }
    const Options& options() const { return options_; }

private:
    void build();

    WindowFrameStore frames_;
    Options options_;
    Builder buildContent_;
    std::unique_ptr<QWidget> window_;
};

} // namespace ulmaro
