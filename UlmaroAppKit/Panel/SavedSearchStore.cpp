#include "UlmaroAppKit/Panel/SavedSearchStore.h"

#include "UlmaroKit/Platform/UnicodeText.h"

#include <algorithm>

namespace ulmaro {
namespace {

std::vector<SavedSearch> decode(const std::optional<std::string>& text) {
    if (!text) return SavedSearchStore::defaults();
    auto json = nlohmann::json::parse(*text, nullptr, false);
    if (!json.is_array()) return SavedSearchStore::defaults();
    std::vector<SavedSearch> list;
    for (const auto& item : json) {
        if (!item.is_object()) return SavedSearchStore::defaults();
        auto name = item.find("name");
        auto query = item.find("query");
        if (name == item.end() || query == item.end() || !name->is_string() || !query->is_string())
            return SavedSearchStore::defaults();
        list.push_back({name->get<std::string>(), query->get<std::string>()});
    }
    return list;
}

} // namespace

SavedSearchStore::SavedSearchStore(std::shared_ptr<SettingsStore> store, std::string key)
    : store_(std::move(store)), key_(std::move(key)) {
    searches.set(decode(store_->dataValue(key_)));
}

void SavedSearchStore::add(std::string_view name, std::string_view query) {
    const std::string trimmedName(UnicodeText::trimmingWhitespaceAndNewlines(name));
    const std::string trimmedQuery(UnicodeText::trimmingWhitespaceAndNewlines(query));
    if (trimmedQuery.empty()) return;
    auto list = searches.get();
    auto found = std::find_if(list.begin(), list.end(),
                              [&](const SavedSearch& s) { return s.query == trimmedQuery; });
    if (found == list.end()) {
        list.push_back({trimmedName.empty() ? trimmedQuery : trimmedName, trimmedQuery});
        searches.set(std::move(list));
    } else if (!trimmedName.empty()) {
        found->name = trimmedName;
        searches.set(std::move(list));
    }
    persist();
}

void SavedSearchStore::remove(std::string_view query) {
    auto list = searches.get();
    std::erase_if(list, [&](const SavedSearch& s) { return s.query == query; });
    searches.set(std::move(list));
    persist();
}

void SavedSearchStore::restoreDefaults() {
    searches.set(defaults());
    persist();
}

void SavedSearchStore::persist() {
    auto json = nlohmann::json::array();
    for (const auto& s : searches.get())
        json.push_back({{"name", s.name}, {"query", s.query}});
    try {
        store_->setData(key_, json.dump());
    } catch (const nlohmann::json::exception&) {
        // Text that is not UTF-8 cannot be JSON; the stored list stays as it was.
    }
}

} // namespace ulmaro
