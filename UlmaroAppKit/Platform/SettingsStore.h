#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// The application's settings: one flat table of "app.ulmaro.*" keys to JSON values.
///
/// Typed reads answer only a value of their own type: an absent key, or one holding
/// another type, reads as absent. A "data" value is JSON text that the caller encodes
/// itself; it is stored as a string. Every change applies in memory at once; where the
/// store is backed by a file it is written later, off the caller's thread (`flush()`
/// waits for that). All members are safe from any thread.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    /// The raw stored value, of whatever type.
    virtual std::optional<nlohmann::json> value(std::string_view key) const = 0;
    virtual void setValue(std::string_view key, nlohmann::json value) = 0;
    virtual void remove(std::string_view key) = 0;
    /// Waits until every change made so far is on disk (nothing to do in memory).
    virtual void flush() {}

    /// Whether the key holds anything at all, whatever its type.
    bool contains(std::string_view key) const { return value(key).has_value(); }

    std::optional<bool> boolValue(std::string_view key) const;
    /// Whole numbers that fit in 64 bits; fractions and floating-point values read as absent.
    std::optional<std::int64_t> intValue(std::string_view key) const;
    /// Any finite number.
    std::optional<double> doubleValue(std::string_view key) const;
    std::optional<std::string> stringValue(std::string_view key) const;
    /// Only an array whose every element is a string.
    std::optional<std::vector<std::string>> stringListValue(std::string_view key) const;
    std::optional<std::string> dataValue(std::string_view key) const { return stringValue(key); }

    void setBool(std::string_view key, bool v) { setValue(key, v); }
    void setInt(std::string_view key, std::int64_t v) { setValue(key, v); }
    void setDouble(std::string_view key, double v) { setValue(key, v); }
    void setString(std::string_view key, std::string v) { setValue(key, std::move(v)); }
    void setStringList(std::string_view key, const std::vector<std::string>& v) {
        setValue(key, nlohmann::json(v));
    }
    void setData(std::string_view key, std::string jsonText) {
        setString(key, std::move(jsonText));
    }
};

} // namespace ulmaro
