#pragma once

#include <cstdint>
#include <ostream>

namespace ulmaro {

/// A half-open range of byte positions in a UTF-8 text: `lower` included, `upper` not.
struct ByteRange {
    std::int64_t lower = 0;
    std::int64_t upper = 0;

    friend bool operator==(const ByteRange&, const ByteRange&) = default;
};

inline std::ostream& operator<<(std::ostream& os, const ByteRange& r) {
    return os << r.lower << "..<" << r.upper;
}

} // namespace ulmaro
