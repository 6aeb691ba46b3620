#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace ulmaro {

/// The orders of a result list; the raw values are what settings store.
enum class SortOrder { relevance, size, dateModified, name };

inline constexpr std::array<SortOrder, 4> allSortOrders = {
    SortOrder::relevance, SortOrder::size, SortOrder::dateModified, SortOrder::name};

constexpr std::string_view rawValue(SortOrder order) {
    switch (order) {
    case SortOrder::relevance:
        return "relevance";
    case SortOrder::size:
        return "size";
    case SortOrder::dateModified:
        return "dateModified";
    case SortOrder::name:
        return "name";
    }
    return {};
}

/// Exact raw values only ("Size" is not one).
constexpr std::optional<SortOrder> sortOrderFromRaw(std::string_view raw) {
    for (SortOrder order : allSortOrders)
        if (rawValue(order) == raw) return order;
    return std::nullopt;
}

/// The words shown for the order.
constexpr std::string_view label(SortOrder order) {
    switch (order) {
    case SortOrder::relevance:
        return "Best match";
    case SortOrder::size:
        return "Largest";
    case SortOrder::dateModified:
        return "Newest";
    case SortOrder::name:
        return "Name";
    }
    return {};
}

} // namespace ulmaro
