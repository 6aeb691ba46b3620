#pragma once

#include <string>
#include <string_view>

namespace ulmaro {

/// The raw bytes of a path that a toolkit handed back as text. Qt decodes file names as
/// UTF-8 and puts U+FFFD where a name's bytes are not, so the text of such a name names
/// nothing on disk. Each component that does not exist as written is looked up among its
/// folder's entries by the repaired form of their names (a run of U+FFFD standing for any
/// run of bad bytes); exactly one match gives its bytes. A path that exists as written, or
/// that cannot be told, comes back as it is.
std::string rawPathOf(std::string_view shownPath);

} // namespace ulmaro
