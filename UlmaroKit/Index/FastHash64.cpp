#include "UlmaroKit/Index/FastHash64.h"

#include "UlmaroKit/Index/FastHash64Core.h"

#include <algorithm>
#include <cstring>

namespace ulmaro {

std::uint64_t FastHash64::hash(std::span<const unsigned char> bytes) {
    return hash(bytes.data(), bytes.size());
}

std::uint64_t FastHash64::hash(const void* data, std::size_t size) {
    if (data == nullptr) size = 0;
    const auto* p = static_cast<const unsigned char*>(data);
    fasthash::Lanes lanes;
    std::size_t stripes = size / 32;
    fasthash::consumeStripes(lanes, p, stripes);
    return fasthash::finish(lanes, size, p + stripes * 32, size % 32);
}

void FastHash64::Rolling::update(const void* data, std::size_t size) {
    if (data == nullptr || size == 0) return;
    const auto* p = static_cast<const unsigned char*>(data);
    total_ += static_cast<std::int64_t>(size);
    fasthash::Lanes lanes{l1_, l2_, l3_, l4_};
    if (pendingCount_ > 0) {
        std::size_t take = std::min(size, pending_.size() - pendingCount_);
        std::memcpy(pending_.data() + pendingCount_, p, take);
        pendingCount_ += take;
        p += take;
        size -= take;
        if (pendingCount_ < pending_.size()) return;
        fasthash::consumeStripes(lanes, pending_.data(), 1);
        pendingCount_ = 0;
    }
    std::size_t stripes = size / 32;
    fasthash::consumeStripes(lanes, p, stripes);
    std::memcpy(pending_.data(), p + stripes * 32, size % 32);
    pendingCount_ = size % 32;
    l1_ = lanes.l1;
    l2_ = lanes.l2;
    l3_ = lanes.l3;
    l4_ = lanes.l4;
}

std::uint64_t FastHash64::Rolling::finish() const {
    return fasthash::finish({l1_, l2_, l3_, l4_}, static_cast<std::uint64_t>(total_),
                            pending_.data(), pendingCount_);
}

} // namespace ulmaro
