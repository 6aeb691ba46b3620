#pragma once

#include <cstdint>

namespace ulmaro {

/// How many records of an index hold real sizes and dates: whether size and date filters
/// can be relied on.
enum class AttrsCompleteness : std::uint8_t { none = 0, partial = 1, complete = 2 };

} // namespace ulmaro
