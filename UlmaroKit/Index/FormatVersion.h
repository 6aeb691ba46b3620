#pragma once

#include <cstdint>

namespace ulmaro {

/// The version of the index file format; only this exact version is read.
inline constexpr std::uint32_t formatVersion = 5;

} // namespace ulmaro
