#pragma once

#include "UlmaroAppKit/UI/X11/X11HotKeyBackend.h"

#include <memory>

class QSocketNotifier;

namespace ulmaro {

/// Serves an `X11HotKeyBackend` from Qt's event loop: its events are handled whenever its
/// connection is readable, until the connection is lost. GUI thread only.
class QtHotKeyWatcher {
public:
    explicit QtHotKeyWatcher(std::shared_ptr<X11HotKeyBackend> backend);
    ~QtHotKeyWatcher();
    QtHotKeyWatcher(const QtHotKeyWatcher&) = delete;
    QtHotKeyWatcher& operator=(const QtHotKeyWatcher&) = delete;

    bool isWatching() const;

private:
    std::shared_ptr<X11HotKeyBackend> backend_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace ulmaro
