#pragma once

#include "UlmaroAppKit/Platform/MainQueue.h"

#include <QObject>

namespace ulmaro {

/// The main queue on Qt's event loop: each task is a queued call on an object of the
/// thread that made the queue (the GUI thread). Tasks still queued when it is destroyed
/// are dropped.
class QtMainQueue final : public MainQueue {
public:
    QtMainQueue() = default;
    QtMainQueue(const QtMainQueue&) = delete;
    QtMainQueue& operator=(const QtMainQueue&) = delete;

    void post(Task task) override;
    bool isCurrent() const override;

private:
    QObject receiver_;
};

} // namespace ulmaro
