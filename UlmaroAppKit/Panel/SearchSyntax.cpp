#include "UlmaroAppKit/Panel/SearchSyntax.h"

#include "UlmaroAppKit/Panel/QuickFilter.h"
#include "UlmaroAppKit/Settings/KeyCombo.h"
#include "UlmaroKit/Platform/UnicodeText.h"

namespace ulmaro::SearchSyntax {
namespace {

Entry entry(std::string example, std::string meaning,
            std::optional<std::string> key = std::nullopt) {
    return {std::move(example), std::move(meaning), std::move(key)};
}

std::vector<Group> makeGroups() {
    return {
        {"By name",
         "What the file is called",
         {entry("invoice", "words in the name"),
          entry("\"exact phrase\"", "the phrase, in that order"),
          entry("/^IMG_\\d+/", "regular expression")}},
        {"By kind",
         "Narrow to one sort of thing",
         {entry("invoice .pdf", "only that extension", "ext"),
          entry("folder:Invoices", "folders only", "folder"),
          entry("app:firefox", "applications only", "app"),
          entry("file:report", "files, never folders", "file")}},
        {"By place",
         "Where it sits on disk",
         {entry("path:Downloads", "any part of the full path", "path")}},
        {"By size or date",
         "How big, how recent",
         {entry("size:>100mb", "bigger than 100 MB", "size"),
          entry("dm:<7d", "changed in the last 7 days", "dm")}},
        {"Inside documents",
         "The text, not the name",
         {entry("contains:brindlewick", "words inside the file", "contains")}},
        {"Combining",
         "Two or more at once",
         {entry("!draft", "leave these out"), entry("report | invoice", "either one")}},
    };
}

} // namespace

const std::vector<Group>& groups() {
    static const std::vector<Group> built = makeGroups();
    return built;
}

std::vector<Entry> searching() {
    std::vector<Entry> all;
    for (const auto& group : groups())
        all.insert(all.end(), group.entries.begin(), group.entries.end());
    return all;
}

std::string_view combiningNote() {
    return "Everything you type has to match. Stack as many as you like.";
}

std::vector<Shortcut> shortcuts() {
    return shortcuts(KeyCombo::optionSpace.display());
}

std::vector<Shortcut> shortcuts(std::string_view summon) {
    return {
        {std::string(summon), "open Ulmaro from anywhere"},
        {"\u2191 \u2193", "move through the results"},
        {"Return", "open the selected file"},
        {"Ctrl+Return", "reveal it in File Manager"},
        {"Space", "Preview, once you are arrowing the results"},
        {"Ctrl+Y", "Preview, at any time"},
        {"Ctrl+C", "copy the full path"},
        {"Ctrl+T", "open Terminal in that folder"},
        {"Ctrl+D", "find every other copy of the file"},
        {"Ctrl+Backspace", "move it to the Trash"},
        {"Ctrl+/", "this list"},
        {"Ctrl+,", "settings"},
        {"Esc", "dismiss, and hand focus back"},
    };
}

std::vector<Shortcut> filterShortcuts() {
    std::vector<Shortcut> rows;
    for (QuickFilter filter : QuickFilter::allCases)
        rows.push_back({"Ctrl+" + filter.shortcutDigit(), UnicodeText::lowercased(filter.label())});
    return rows;
}

std::vector<Group> onboardingGroups() {
    std::vector<Group> shown;
    for (const auto& group : groups())
        if (group.title != "Combining" && group.title != "By place") shown.push_back(group);
    return shown;
}

} // namespace ulmaro::SearchSyntax
