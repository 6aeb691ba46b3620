#include "UlmaroKit/Platform/UnicodeText.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

const std::string eAcute = "e\xCC\x81"; // e + combining acute: one character
const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9"; // man ZWJ woman

TEST(UnicodeText, CountsAndCutsGraphemeClusters) {
    const std::pair<std::string, std::size_t> counts[] = {
        {"", 0},           {"abc", 3},        {"a\r\nb", 3},
        {"a" + eAcute, 2}, {family + "x", 2}, {"caf" + eAcute + " au lait", 12}};
    for (const auto& [text, n] : counts) {
        EXPECT_EQ(UnicodeText::graphemeCount(text), n) << text;
        EXPECT_EQ(UnicodeText::graphemes(text).size(), n) << text;
    }
    EXPECT_EQ(UnicodeText::graphemePrefix("abcdef", 3), "abc");
    EXPECT_EQ(UnicodeText::graphemePrefix("ab" + eAcute + "d", 3), "ab" + eAcute);
    EXPECT_EQ(UnicodeText::graphemePrefix("a\r\nb", 2), "a\r\n");
    EXPECT_EQ(UnicodeText::graphemePrefix(family + family, 1), family);
    EXPECT_EQ(UnicodeText::graphemePrefix("short", 10), "short");
}

TEST(UnicodeText, MapsCaseAndFormWithoutLocale) {
    EXPECT_EQ(UnicodeText::lowercased("ReadMe.TXT"), "readme.txt");
    EXPECT_EQ(UnicodeText::lowercased("\xC3\x89T\xC3\x89"), "\xC3\xA9t\xC3\xA9"); // ÉTÉ
    EXPECT_EQ(UnicodeText::lowercased("\xC4\xB0"), "i\xCC\x87");                  // İ → i̇
    EXPECT_EQ(UnicodeText::lowercased("\xCE\xA3\xCE\x91"), "\xCF\x83\xCE\xB1");   // ΣΑ
    EXPECT_EQ(UnicodeText::composed(eAcute), "\xC3\xA9");
    EXPECT_EQ(UnicodeText::composed("plain"), "plain");
}

TEST(UnicodeText, TrimsSpacesTabsAndNewlines) {
    EXPECT_EQ(UnicodeText::trimmingSpacesAndTabs("\t \xC2\xA0x y\xE3\x80\x80 "), "x y");
    EXPECT_EQ(UnicodeText::trimmingSpacesAndTabs("\nx\r"), "\nx\r");
    EXPECT_EQ(UnicodeText::trimmingWhitespaceAndNewlines("\n\t x \r\n"), "x");
    EXPECT_TRUE(UnicodeText::isLetter("\xC3\xA9"));
    EXPECT_TRUE(UnicodeText::isNumber("\xD9\xA3")); // Arabic-Indic three
    EXPECT_FALSE(UnicodeText::isLetter("-"));
    EXPECT_EQ(UnicodeText::firstScalar(""), U'\uFFFD');
}

} // namespace
} // namespace ulmaro
