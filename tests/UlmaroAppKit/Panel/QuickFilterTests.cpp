#include "UlmaroAppKit/Panel/QuickFilter.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace ulmaro {
namespace {

TEST(QuickFilter, TheEightFiltersInShortcutOrder) {
    struct Row {
        QuickFilter filter;
        const char *raw, *label, *digit, *query;
    };
    const std::vector<Row> rows = {
        {QuickFilter::images, "images", "Images", "1", "ext:png,jpg,jpeg,heic,gif,webp,svg"},
        {QuickFilter::documents, "documents", "Docs", "2",
         "ext:pdf,docx,doc,pages,txt,md,key,xlsx"},
        {QuickFilter::code, "code", "Code", "3", "ext:swift,ts,tsx,js,py,go,rs,java"},
        {QuickFilter::folders, "folders", "Folders", "4", "folder:"},
        {QuickFilter::apps, "apps", "Apps", "5", "app:"},
        {QuickFilter::big, "big", "Big", "6", "size:>100mb"},
        {QuickFilter::recent, "recent", "Recent", "7", "dm:<7d"},
        {QuickFilter::contents, "contents", "Inside", "8", ""},
    };
    ASSERT_EQ(rows.size(), QuickFilter::allCases.size());
    std::unordered_set<QuickFilter> seen;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[i];
        EXPECT_EQ(QuickFilter(QuickFilter::allCases[i]), row.filter);
        EXPECT_EQ(row.filter.rawValue(), row.raw);
        EXPECT_EQ(row.filter.label(), row.label);
        EXPECT_EQ(row.filter.shortcutDigit(), row.digit);
        EXPECT_EQ(row.filter.query(), row.query);
        EXPECT_EQ(row.filter.rewritesQuery(), row.filter == QuickFilter::contents);
        EXPECT_FALSE(row.filter.symbol().empty());
        EXPECT_FALSE(row.filter.explanation().empty());
        EXPECT_EQ(QuickFilter::fromRawValue(row.raw), row.filter);
        EXPECT_EQ(QuickFilter::forDigit(row.digit), row.filter);
        seen.insert(row.filter);
    }
    EXPECT_EQ(seen.size(), 8u);
    EXPECT_EQ(QuickFilter(QuickFilter::documents).explanation(),
              "Only document files \u2014 filters by file type, not by what is inside them");
    EXPECT_EQ(QuickFilter(QuickFilter::contents).symbol(), "doc.text.magnifyingglass");
}

TEST(QuickFilter, RawValuesAreExactNeverLabels) {
    EXPECT_EQ(QuickFilter::fromRawValue("documents"), QuickFilter::documents);
    for (const char* raw : {"Docs", "Documents", "documents ", "", "inside"})
        EXPECT_EQ(QuickFilter::fromRawValue(raw), std::nullopt) << raw;
}

TEST(QuickFilter, ForDigitByWholeNumberValue) {
    struct Case {
        const char* character;
        std::optional<QuickFilter> expected;
    };
    const std::vector<Case> cases = {
        {"1", QuickFilter::images},
        {"8", QuickFilter::contents},
        {"0", std::nullopt},
        {"9", std::nullopt},
        {"\u0663", QuickFilter::code},      // ARABIC-INDIC DIGIT THREE
        {"\uff15", QuickFilter::apps},      // FULLWIDTH DIGIT FIVE
        {"\u00b2", QuickFilter::documents}, // SUPERSCRIPT TWO
        {"\u2167", QuickFilter::contents},  // ROMAN NUMERAL EIGHT
        {"\u516b", QuickFilter::contents},  // the CJK ideograph for eight
        {"\u00bd", std::nullopt},           // one half: not a whole number
        {"\u4e07", std::nullopt},           // ten thousand
        {"12", std::nullopt},               // two characters
        {"1\u20e3", std::nullopt},          // keycap: two scalars in one character
        {"a", std::nullopt},
        {"", std::nullopt},
        {"\xff", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QuickFilter::forDigit(c.character), c.expected) << c.character;
}

} // namespace
} // namespace ulmaro
