#pragma once

#include "UlmaroAppKit/Panel/SavedSearch.h"
#include "UlmaroAppKit/Platform/Observable.h"
#include "UlmaroAppKit/Platform/SettingsStore.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// The saved searches, kept under one settings key as the JSON text of the whole list.
/// A missing or unreadable value reads as the built-in list (empty) and stays stored until
/// the next write replaces it. Main thread only.
class SavedSearchStore {
public:
    SavedSearchStore(std::shared_ptr<SettingsStore> store, std::string key);

    /// The built-in list that a fresh store starts from and `restoreDefaults` brings back.
    static std::vector<SavedSearch> defaults() { return {}; }

    /// The list in the order shown; subscribers run after every change.
    Observable<std::vector<SavedSearch>> searches;

    /// Both texts are trimmed of white space and line breaks. An empty query does nothing;
    /// a query saved already is renamed in place (an empty name keeps its name); any other
    /// is appended, named by its query when the name is empty. Writes the list.
    void add(std::string_view name, std::string_view query);
    /// Removes every entry with exactly this query (not trimmed) and writes the list.
    void remove(std::string_view query);
    void restoreDefaults();
    /// Writes the list; a list that cannot be encoded is not written.
    void persist();

    const std::string& key() const { return key_; }

private:
    std::shared_ptr<SettingsStore> store_;
    std::string key_;
};

} // namespace ulmaro
