#include "UlmaroAppKit/Indexing/ContentIndexHolder.h"

namespace ulmaro {

ContentIndexHolder::Index ContentIndexHolder::current() const {
    std::lock_guard guard(lock_);
    return index_;
}

void ContentIndexHolder::setCurrent(Index index) {
    Index old;
    {
        std::lock_guard guard(lock_);
        old = std::exchange(index_, std::move(index));
    }
    // `old` may be the last reference: it goes outside the lock.
}

void ContentIndexHolder::modify(const std::function<Index(const Index&)>& change) {
    Index old;
    std::lock_guard guard(lock_);
    old = index_;
    index_ = change(old);
}

} // namespace ulmaro
