#pragma once

#include <cstdint>

namespace ulmaro {

/// A running application the panel may give the keyboard back to. Two references are the
/// same application when their process IDs are equal; on X11 the window that was active
/// comes along, since activation there is per window.
struct AppReference {
    std::int32_t processIdentifier = 0;
    /// The X11 window, 0 when not known.
    std::uint32_t window = 0;

    friend bool operator==(const AppReference& a, const AppReference& b) {
        return a.processIdentifier == b.processIdentifier;
    }
};

} // namespace ulmaro
