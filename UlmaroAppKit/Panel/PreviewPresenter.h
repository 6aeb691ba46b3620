#pragma once

namespace ulmaro {

/// The preview window: shows the selected file, follows the selection, and closes.
class PreviewPresenter {
public:
    virtual ~PreviewPresenter() = default;
    virtual bool isVisible() const = 0;
    /// Shows the selection's preview and gives the window the keyboard.
    virtual void show() = 0;
    /// Shows the selection as it is now, when visible.
    virtual void reload() = 0;
    virtual void close() = 0;
};

} // namespace ulmaro
