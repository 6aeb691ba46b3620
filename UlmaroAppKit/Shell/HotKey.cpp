#include "UlmaroAppKit/Shell/HotKey.h"

#include "UlmaroAppKit/Shell/HotKeyCenter.h"

namespace ulmaro {

bool HotKey::registerKey() {
    if (registered_) return true;
    auto center = center_.lock();
    return center && center->add(*this);
}

void HotKey::unregisterKey() {
    auto self = shared_from_this(); // the registry may hold the last reference
    if (auto center = center_.lock()) center->remove(*this);
    registered_ = false;
}

} // namespace ulmaro
