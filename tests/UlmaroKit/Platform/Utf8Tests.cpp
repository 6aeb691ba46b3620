#include "UlmaroKit/Platform/Utf8.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

struct Utf8Case {
    std::string input;
    bool valid;
    std::string repaired;
};

const std::string R = "\xEF\xBF\xBD"; // U+FFFD

TEST(Utf8, ValidatesAndRepairsByMaximalSubpart) {
    const Utf8Case cases[] = {
        {"", true, ""},
        {"plain ascii", true, "plain ascii"},
        {"caf\xC3\xA9", true, "caf\xC3\xA9"},
        {"\xF0\x9F\x98\x80", true, "\xF0\x9F\x98\x80"},
        {"a\xFF" "b", false, "a" + R + "b"},
        {"\xC3", false, R},                          // truncated two-byte sequence
        {"\xE2\x82", false, R},                      // truncated three-byte: one subpart
        {"\xE2\x82" "A", false, R + "A"},
        {"\xC0\xAF", false, R + R},                  // overlong: each byte alone
        {"\xED\xA0\x80", false, R + R + R},          // surrogate
        {"\xF4\x90\x80\x80", false, R + R + R + R},  // past U+10FFFF
        {"\x80\x80", false, R + R},                  // stray continuations
        {"abcdefgh\xC3\xA9ijklmnop\xFE", false, "abcdefgh\xC3\xA9ijklmnop" + R},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.input));
        EXPECT_EQ(isValidUtf8(c.input), c.valid);
        EXPECT_EQ(repairUtf8(c.input), c.repaired);
        EXPECT_TRUE(isValidUtf8(repairUtf8(c.input)));
    }
}

} // namespace
} // namespace ulmaro
