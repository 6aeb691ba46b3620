#include "UlmaroAppKit/Platform/SettingsStore.h"

#include <cmath>
#include <limits>

namespace ulmaro {

std::optional<bool> SettingsStore::boolValue(std::string_view key) const {
    auto v = value(key);
    if (!v || !v->is_boolean()) return std::nullopt;
    return v->get<bool>();
}

std::optional<std::int64_t> SettingsStore::intValue(std::string_view key) const {
    auto v = value(key);
    if (!v) return std::nullopt;
    if (v->is_number_integer() && !v->is_number_unsigned()) return v->get<std::int64_t>();
    if (v->is_number_unsigned()) {
        auto u = v->get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return std::nullopt;
        return static_cast<std::int64_t>(u);
    }
    return std::nullopt;
}

std::optional<double> SettingsStore::doubleValue(std::string_view key) const {
    auto v = value(key);
    if (!v || !v->is_number()) return std::nullopt;
    double d = v->get<double>();
    if (!std::isfinite(d)) return std::nullopt;
    return d;
}

std::optional<std::string> SettingsStore::stringValue(std::string_view key) const {
    auto v = value(key);
    if (!v || !v->is_string()) return std::nullopt;
    return v->get<std::string>();
}

std::optional<std::vector<std::string>> SettingsStore::stringListValue(std::string_view key) const {
    auto v = value(key);
    if (!v || !v->is_array()) return std::nullopt;
    std::vector<std::string> out;
    out.reserve(v->size());
    for (const auto& element : *v) {
        if (!element.is_string()) return std::nullopt;
        out.push_back(element.get<std::string>());
    }
    return out;
}

} // namespace ulmaro
