#pragma once

#include <string_view>

namespace ulmaro {

/// The clipboard, as plain text. The application's is `QClipboard`; tests use
/// `InMemoryPasteboard`.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    /// Replaces what the clipboard holds with valid UTF-8 text; an empty text leaves it empty.
    virtual void setText(std::string_view text) = 0;
};

} // namespace ulmaro
