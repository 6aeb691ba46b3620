#pragma once

#include <cstddef>

namespace ulmaro {

/// Asks for transparent huge pages over the whole 2 MiB pages inside a large buffer that
/// is about to be filled. Page faults cost tens of microseconds on some virtual machines,
/// and filling tens of megabytes of fresh memory would otherwise fault every 4 KiB.
/// Only advice: nothing happens where the kernel does not offer huge pages.
void adviseHugePages(void* data, std::size_t size);

} // namespace ulmaro
