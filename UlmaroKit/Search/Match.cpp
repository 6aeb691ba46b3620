#include "UlmaroKit/Search/Match.h"

namespace ulmaro {

std::ostream& operator<<(std::ostream& os, const Match& m) {
    return os << "Match{" << m.id << ", " << m.quality << ", " << m.matchOffset << "}";
}

} // namespace ulmaro
