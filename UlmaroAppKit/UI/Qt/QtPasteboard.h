#pragma once

#include "UlmaroAppKit/Platform/Pasteboard.h"

namespace ulmaro {

/// The desktop's clipboard through `QClipboard`. GUI thread only.
class QtPasteboard final : public Pasteboard {
public:
    void setText(std::string_view text) override;
};

} // namespace ulmaro
