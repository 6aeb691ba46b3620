#pragma once

#include "UlmaroKit/Platform/DataLocations.h"

#include <filesystem>

namespace ulmaro {

/// Where the application keeps its index of this machine.
namespace IndexLocation {
inline std::filesystem::path defaultURL() {
    return DataLocations::indexPath();
}
} // namespace IndexLocation

} // namespace ulmaro
