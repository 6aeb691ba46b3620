#pragma once

#include <functional>

namespace ulmaro {

/// The thread that owns all user-interface state. Work posted here runs later, in the
/// order posted, on that thread: the Qt event loop in the application, a queue drained by
/// hand in tests (`ManualMainQueue`).
class MainQueue {
public:
    using Task = std::function<void()>;

    virtual ~MainQueue() = default;

    /// Safe from any thread. Never runs `task` inline, even when called on the main thread.
    virtual void post(Task task) = 0;
    /// True on the thread that runs posted work.
    virtual bool isCurrent() const = 0;
};

} // namespace ulmaro
