#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// The help texts about the query language and the panel's keys: the panel's cheat sheet
/// shows them all, the onboarding page on searching a subset.
namespace SearchSyntax {

struct Entry {
    /// What the user would type.
    std::string example;
    /// What it does.
    std::string meaning;
    /// The operator word of the example, drawn in the operator style.
    std::optional<std::string> operatorKey;

    friend bool operator==(const Entry&, const Entry&) = default;
};

struct Group {
    std::string title;
    std::string summary;
    std::vector<Entry> entries;

    friend bool operator==(const Group&, const Group&) = default;
};

struct Shortcut {
    /// The keys as shown ("Ctrl+C").
    std::string keys;
    /// What they do.
    std::string action;

    friend bool operator==(const Shortcut&, const Shortcut&) = default;
};

/// The six help groups, built once.
const std::vector<Group>& groups();
/// The entries of all groups, in group order and then entry order.
std::vector<Entry> searching();
std::string_view combiningNote();
/// The panel's keys; the first row shows the default summon shortcut.
std::vector<Shortcut> shortcuts();
/// The same rows, with `summon` (the shortcut currently set, as shown) as the first keys.
std::vector<Shortcut> shortcuts(std::string_view summon);
/// One row per quick filter, in the quick filters' order.
std::vector<Shortcut> filterShortcuts();
/// The groups the onboarding page shows: all but "Combining" and "By place".
std::vector<Group> onboardingGroups();

inline constexpr std::string_view shortcutColumnTitle = "Keys";
inline constexpr std::string_view filterColumnTitle = "Filter buttons";

} // namespace SearchSyntax
} // namespace ulmaro
