#include "UlmaroAppKit/Settings/WindowFrameStore.h"

#include <cstdint>

namespace ulmaro {
namespace {

std::optional<int> coordinate(const nlohmann::json& object, const char* name) {
    auto it = object.find(name);
    if (it == object.end() || !it->is_number_integer()) return std::nullopt;
    const auto value = it->get<std::int64_t>();
    if (value < -WindowFrameStore::maxExtent || value > WindowFrameStore::maxExtent)
        return std::nullopt;
    return int(value);
}

} // namespace

std::string WindowFrameStore::key(std::string_view autosaveName) {
    return "app.ulmaro.windowFrame." + std::string(autosaveName);
}

std::optional<WindowFrame> WindowFrameStore::load(std::string_view autosaveName) const {
    const auto value = store_.value(key(autosaveName));
    if (!value || !value->is_object()) return std::nullopt;
    const auto x = coordinate(*value, "x");
    const auto y = coordinate(*value, "y");
    const auto width = coordinate(*value, "width");
    const auto height = coordinate(*value, "height");
    if (!x || !y || !width || !height || *width <= 0 || *height <= 0) return std::nullopt;
    return WindowFrame{*x, *y, *width, *height};
}

void WindowFrameStore::save(std::string_view autosaveName, const WindowFrame& frame) {
    store_.setValue(key(autosaveName), nlohmann::json{{"x", frame.x},
                                                      {"y", frame.y},
                                                      {"width", frame.width},
                                                      {"height", frame.height}});
}

} // namespace ulmaro
