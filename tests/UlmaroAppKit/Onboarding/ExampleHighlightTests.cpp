#include "UlmaroAppKit/Onboarding/ExampleHighlight.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using Runs = std::vector<ExampleHighlight::Run>;

TEST(ExampleHighlight, OperatorFirstThenExtensionElsePlain) {
    struct Case {
        const char* example;
        Runs runs;
    };
    const std::vector<Case> cases = {
        {"size:>100mb", {{"size:", true}, {">100mb", false}}},
        {"folder:Invoices", {{"folder:", true}, {"Invoices", false}}},
        {"invoice .pdf", {{"invoice ", false}, {".pdf", true}}},
        {"invoice", {{"invoice", false}}},
        {"!draft", {{"!draft", false}}},
        {"report | invoice", {{"report | invoice", false}}},
        {"ext:", {{"ext:", true}, {"", false}}},
        // The colon wins even after a " .".
        {"a .b c:d", {{"a .b c:", true}, {"d", false}}},
        // Only the first of each splits.
        {"a:b:c", {{"a:", true}, {"b:c", false}}},
        {"x .y .z", {{"x ", false}, {".y .z", true}}},
        {"", {{"", false}}},
        // Text is carried as typed, markup included.
        {"<b>bold</b> .html", {{"<b>bold</b> ", false}, {".html", true}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExampleHighlight::highlighted(c.example), c.runs) << c.example;
}

} // namespace
} // namespace ulmaro
