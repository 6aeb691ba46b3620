#include "UlmaroKit/Index/IndexError.h"

namespace ulmaro {

const char* IndexError::what() const noexcept {
    switch (kind_) {
    case Kind::versionMismatch:
        return "IndexError.versionMismatch";
    case Kind::badMagic:
        return "IndexError.badMagic";
    case Kind::checksumMismatch:
        return "IndexError.checksumMismatch";
    case Kind::truncated:
        return "IndexError.truncated";
    case Kind::tooManyVolumes:
        return "IndexError.tooManyVolumes";
    }
    return "IndexError";
}

} // namespace ulmaro
