#pragma once

#include <string>

namespace ulmaro {

/// A query kept under a name, run again from the tray menu. Two entries with the same
/// query are the same item to a list (`id`). Stored as {"name": …, "query": …}.
struct SavedSearch {
    std::string name;
    std::string query;

    const std::string& id() const { return query; }

    friend bool operator==(const SavedSearch&, const SavedSearch&) = default;
};

} // namespace ulmaro
