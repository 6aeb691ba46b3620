#include "UlmaroAppKit/Text/NaturalCompare.h"
#include "UlmaroAppKit/Text/UserLocale.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ulmaro {
namespace {

int sign(int v) {
    return (v > 0) - (v < 0);
}

TEST(NaturalCompare, NumbersByValueCaseIgnoredTiesBytewise) {
    ScopedUserLocale locale("en_US");
    struct Case {
        std::string a, b;
        int expected;
    };
    const std::vector<Case> cases = {
        {"file2", "File10", -1},  {"file10", "file9", 1},
        {"File1", "file1", -1}, // equal but for case: bytewise, 'F' < 'f'
        {"file1", "file1", 0},    {"file02", "file2", -1}, // equal by value: bytewise
        {"resume", "résumé", -1},                          // accents count
        {"Äpfel", "apple", -1},   {"a", "", 1},
        {"\xff", "\xfe", 1}, // both read as U+FFFD: bytewise
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sign(naturalCompare(c.a, c.b)), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(sign(naturalCompare(c.b, c.a)), -c.expected) << c.b << " vs " << c.a;
    }
    std::vector<std::string> names = {"zebra", "File10", "file2", "Zebra",
                                      "file1", "apple",  "File1", "Äpfel"};
    std::sort(names.begin(), names.end(), naturalLess);
    EXPECT_EQ(names, (std::vector<std::string>{"Äpfel", "apple", "File1", "file1", "file2",
                                               "File10", "Zebra", "zebra"}));
}

TEST(NaturalCompare, FollowsTheUserCollation) {
    {
        ScopedUserLocale locale("de_DE");
        EXPECT_LT(naturalCompare("Äpfel", "zebra"), 0);
    }
    {
        ScopedUserLocale locale("sv_SE"); // Swedish files Ä after Z
        EXPECT_GT(naturalCompare("Äpfel", "zebra"), 0);
    }
}

} // namespace
} // namespace ulmaro
