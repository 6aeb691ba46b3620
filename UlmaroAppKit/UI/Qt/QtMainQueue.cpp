#include "UlmaroAppKit/UI/Qt/QtMainQueue.h"

#include <QThread>

namespace ulmaro {

void QtMainQueue::post(Task task) {
    // A queued call never runs inline, even from the GUI thread, and keeps posting order.
    QMetaObject::invokeMethod(
        &receiver_, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

bool QtMainQueue::isCurrent() const {
    return QThread::currentThread() == receiver_.thread();
}

} // namespace ulmaro
