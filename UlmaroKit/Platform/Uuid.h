#pragma once

#include <string>

namespace ulmaro {

/// A fresh random (version 4) UUID in its standard upper-case text form, as catalog IDs and
/// temporary names use. Throws std::system_error when the kernel gives no random bytes.
std::string uuidString();

} // namespace ulmaro
