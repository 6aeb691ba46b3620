#include "UlmaroAppKit/Panel/SearchSyntax.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using SearchSyntax::Shortcut;

TEST(SearchSyntax, HelpTexts) {
    const auto& groups = SearchSyntax::groups();
    std::vector<std::string> table;
    for (const auto& g : groups) {
        table.push_back("# " + g.title + " | " + g.summary);
        for (const auto& e : g.entries)
            table.push_back(e.example + " | " + e.meaning + " | " + e.operatorKey.value_or("-"));
    }
    const std::vector<std::string> expected = {
        "# By name | What the file is called",
        "invoice | words in the name | -",
        "\"exact phrase\" | the phrase, in that order | -",
        "/^IMG_\\d+/ | regular expression | -",
        "# By kind | Narrow to one sort of thing",
        "invoice .pdf | only that extension | ext",
        "folder:Invoices | folders only | folder",
        "app:firefox | applications only | app",
        "file:report | files, never folders | file",
        "# By place | Where it sits on disk",
        "path:Downloads | any part of the full path | path",
        "# By size or date | How big, how recent",
        "size:>100mb | bigger than 100 MB | size",
        "dm:<7d | changed in the last 7 days | dm",
        "# Inside documents | The text, not the name",
        "contains:brindlewick | words inside the file | contains",
        "# Combining | Two or more at once",
        "!draft | leave these out | -",
        "report | invoice | either one | -",
    };
    EXPECT_EQ(table, expected);
    EXPECT_EQ(&SearchSyntax::groups(), &groups) << "built once";

    const auto searching = SearchSyntax::searching();
    ASSERT_EQ(searching.size(), 13u);
    EXPECT_EQ(searching.front().example, "invoice");
    EXPECT_EQ(searching.back().example, "report | invoice");

    EXPECT_EQ(SearchSyntax::combiningNote(),
              "Everything you type has to match. Stack as many as you like.");
    EXPECT_EQ(SearchSyntax::shortcutColumnTitle, "Keys");
    EXPECT_EQ(SearchSyntax::filterColumnTitle, "Filter buttons");

    std::vector<size_t> sizes;
    std::vector<std::string> titles;
    for (const auto& g : SearchSyntax::onboardingGroups()) {
        titles.push_back(g.title);
        sizes.push_back(g.entries.size());
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"By name", "By kind", "By size or date",
                                                "Inside documents"}));
    EXPECT_EQ(sizes, (std::vector<size_t>{3, 4, 2, 1}));
}

TEST(SearchSyntax, Shortcuts) {
    const std::vector<Shortcut> expected = {
        {"Alt+Space", "open Ulmaro from anywhere"},
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
    EXPECT_EQ(SearchSyntax::shortcuts(), expected);

    auto custom = SearchSyntax::shortcuts("Ctrl+Shift+K");
    EXPECT_EQ(custom[0].keys, "Ctrl+Shift+K");
    auto empty = SearchSyntax::shortcuts("");
    ASSERT_EQ(empty.size(), 13u);
    EXPECT_EQ(empty[0], (Shortcut{"", "open Ulmaro from anywhere"}));
    EXPECT_TRUE(std::equal(empty.begin() + 1, empty.end(), expected.begin() + 1));

    EXPECT_EQ(SearchSyntax::filterShortcuts(), (std::vector<Shortcut>{{"Ctrl+1", "images"},
                                                                      {"Ctrl+2", "docs"},
                                                                      {"Ctrl+3", "code"},
                                                                      {"Ctrl+4", "folders"},
                                                                      {"Ctrl+5", "apps"},
                                                                      {"Ctrl+6", "big"},
                                                                      {"Ctrl+7", "recent"},
                                                                      {"Ctrl+8", "inside"}}));
}

} // namespace
} // namespace ulmaro
