#include "UlmaroAppKit/Platform/ForwardingMainQueue.h"

namespace ulmaro {

// Forwarding under the lock keeps one order across threads: a post racing `attach` lands
// either among the waiting tasks or after all of them.
void ForwardingMainQueue::post(Task task) {
    std::lock_guard lock(mutex_);
    if (target_)
        target_->post(std::move(task));
    else
        waiting_.push_back(std::move(task));
}

bool ForwardingMainQueue::isCurrent() const {
    std::lock_guard lock(mutex_);
    return target_ ? target_->isCurrent() : std::this_thread::get_id() == owner_;
}

void ForwardingMainQueue::attach(std::shared_ptr<MainQueue> target) {
    std::lock_guard lock(mutex_);
    for (auto& task : waiting_)
        target->post(std::move(task));
    waiting_.clear();
    waiting_.shrink_to_fit();
    target_ = std::move(target);
}

} // namespace ulmaro
