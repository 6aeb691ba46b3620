#include "UlmaroAppKit/Shell/LaunchIntent.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ulmaro {
namespace {

TEST(LaunchIntent, ShouldPresentPanel) {
    struct Case {
        bool firstRun, pending, primary;
        std::vector<std::string> arguments;
        bool expected;
    };
    const std::vector<std::string> flag{"ulmaro", "--just-installed"};
    const Case cases[] = {
        {true, true, false, flag, false},
        {true, false, true, {}, true},
        {false, true, true, {"x"}, true},
        {false, false, true, flag, true},
        {false, false, true, {"ulmaro"}, false},
        {false, false, true, {"--just-installed=1"}, false},
        {false, false, true, {"--just-installed-not"}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LaunchIntent::shouldPresentPanel(c.firstRun, c.pending, c.primary, c.arguments),
                  c.expected)
            << c.firstRun << c.pending << c.primary
            << (c.arguments.empty() ? "" : c.arguments.back());
}

} // namespace
} // namespace ulmaro
