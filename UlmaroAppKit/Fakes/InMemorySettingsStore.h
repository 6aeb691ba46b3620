#pragma once

#include "UlmaroAppKit/Platform/SettingsStore.h"

#include <map>
#include <mutex>
#include <string>

namespace ulmaro {

/// Settings held in memory only, for tests; safe from any thread like the real store.
class InMemorySettingsStore final : public SettingsStore {
public:
    std::optional<nlohmann::json> value(std::string_view key) const override {
        std::lock_guard lock(mutex_);
        auto it = values_.find(key);
        if (it == values_.end()) return std::nullopt;
        return it->second;
    }
    void setValue(std::string_view key, nlohmann::json value) override {
        std::lock_guard lock(mutex_);
        values_.insert_or_assign(std::string(key), std::move(value));
    }
    void remove(std::string_view key) override {
        std::lock_guard lock(mutex_);
        auto it = values_.find(key);
        if (it != values_.end()) values_.erase(it);
    }

    std::size_t size() const {
        std::lock_guard lock(mutex_);
        return values_.size();
    }

private:
    mutable std::mutex mutex_;
    std::map<std::string, nlohmann::json, std::less<>> values_;
};

} // namespace ulmaro
