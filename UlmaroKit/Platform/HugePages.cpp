#include "UlmaroKit/Platform/HugePages.h"

#include <cstdint>
#include <sys/mman.h>

namespace ulmaro {

void adviseHugePages(void* data, std::size_t size) {
    constexpr std::uintptr_t huge = 2 << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + huge - 1) & ~(huge - 1);
    const std::uintptr_t last = (begin + size) & ~(huge - 1);
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

} // namespace ulmaro
