#pragma once

#include "UlmaroAppKit/Platform/SettingsStore.h"

#include <optional>
#include <string>
#include <string_view>

namespace ulmaro {

/// A window's frame: top-left corner and size of its content, logical pixels, y downwards.
struct WindowFrame {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const WindowFrame&) const = default;
};

/// Where the kept windows (catalog, settings) remember their frames: one settings key per
/// window, "app.ulmaro.windowFrame." + its autosave name, holding an object with "x", "y",
/// "width" and "height". A hand-edited value that is not such an object, or whose size is
/// not positive or beyond any screen, reads as absent. Main thread only.
class WindowFrameStore {
public:
    /// Larger than any screen: a size beyond it comes from a damaged file.
    static constexpr int maxExtent = 32768;

    explicit WindowFrameStore(SettingsStore& store) : store_(store) {}

    static std::string key(std::string_view autosaveName);
    std::optional<WindowFrame> load(std::string_view autosaveName) const;
    void save(std::string_view autosaveName, const WindowFrame& frame);

private:
    SettingsStore& store_;
};

} // namespace ulmaro
