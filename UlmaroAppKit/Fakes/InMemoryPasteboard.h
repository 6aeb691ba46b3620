#pragma once

#include "UlmaroAppKit/Platform/Pasteboard.h"

#include <string>

namespace ulmaro {

/// A clipboard held in memory, for tests.
class InMemoryPasteboard final : public Pasteboard {
public:
    void setText(std::string_view value) override {
        text = value;
        ++writes;
    }

    std::string text;
    int writes = 0;
};

} // namespace ulmaro
