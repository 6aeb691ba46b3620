#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ulmaro {

/// The "file://" URI of an absolute path, every byte outside the URI's safe set
/// percent-encoded, so a name that is not UTF-8 keeps its bytes. None for a relative path.
std::optional<std::string> fileUri(std::string_view path);

} // namespace ulmaro
