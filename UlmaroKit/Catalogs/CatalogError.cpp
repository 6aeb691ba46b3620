#include "UlmaroKit/Catalogs/CatalogError.h"

namespace ulmaro {

const char* CatalogError::what() const noexcept {
    switch (kind_) {
    case Kind::unsupportedFormat:
        return "CatalogError.unsupportedFormat";
    case Kind::damagedIndex:
        return "CatalogError.damagedIndex";
    case Kind::unreadableInfo:
        return "CatalogError.unreadableInfo";
    }
    return "CatalogError";
}

} // namespace ulmaro
