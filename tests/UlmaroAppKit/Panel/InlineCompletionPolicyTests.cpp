#include "UlmaroAppKit/Panel/InlineCompletionPolicy.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using InlineCompletionPolicy::TopRow;

TopRow app(std::string name) {
    return {7, std::move(name), "/usr/share/applications/x", true};
}
TopRow file(std::string name) {
    return {9, std::move(name), "/home/u/x", false};
}

TEST(InlineCompletionPolicy, CompletesAPlainNameFromTheTopRow) {
    struct Case {
        const char* text;
        std::optional<TopRow> row;
        bool deleting;
        std::optional<std::string> completed;
    };
    const std::vector<Case> cases = {
        {"cal", app("Calendar.app"), false, "calendar"},
        {"calendar", app("Calendar.app"), false, std::nullopt},
        {"calendar.app", app("Calendar.app"), false, std::nullopt},
        {"fire", app("firefox.desktop"), false, "firefox"},
        {"CAL", file("calibration.txt"), false, "CALibration.txt"},
        {"rep", file("report 2024.pdf"), false, "report 2024.pdf"},
        {"rep 2", file("report 2024.pdf"), false, std::nullopt},
        {"ext:pd", file("ext:pdf notes"), false, std::nullopt},
        {"Tool", file("Tools.app"), false, "Tools.app"}, // a folder named like an app
        {"cal", app("Calendar.app"), true, std::nullopt},
        {"cal", std::nullopt, false, std::nullopt},
        {"", file("x.txt"), false, std::nullopt},
        {"xyz", file("calibration.txt"), false, std::nullopt},
        // Characters, not bytes: an emoji with a skin-tone modifier is one character.
        {"\U0001F44D\U0001F3FDt", file("\U0001F44D\U0001F3FDthumbs.png"), false,
         "\U0001F44D\U0001F3FDthumbs.png"},
        {"\U0001F44D", file("\U0001F44D\U0001F3FDthumbs.png"), false, std::nullopt},
        // A letter with a combining accent is one character, and not the bare letter.
        {"cafe", file("cafe\u0301 menu.txt"), false, std::nullopt},
        {"caf\u00e9", file("cafe\u0301 menu.txt"), false, "caf\u00e9 menu.txt"},
        {"\u00c9co", file("\u00e9cole.pdf"), false, "\u00c9cole.pdf"},
    };
    for (const auto& c : cases) {
        auto result = InlineCompletionPolicy::completion(c.text, c.row, c.deleting);
        ASSERT_EQ(result.has_value(), c.completed.has_value()) << c.text;
        if (!result) continue;
        EXPECT_EQ(result->completed, *c.completed) << c.text;
        EXPECT_EQ(result->typed, c.text);
        EXPECT_EQ(result->rowID, c.row->id);
        EXPECT_EQ(result->rowPath, c.row->path);
        EXPECT_EQ(result->isApp, c.row->isApp);
    }
}

TEST(InlineCompletionPolicy, NamesAndRangesOfACompletion) {
    auto calendar = InlineCompletionPolicy::completion("cal", app("Calendar.app"), false);
    ASSERT_TRUE(calendar);
    EXPECT_EQ(calendar->rowName, "Calendar");
    EXPECT_EQ(calendar->suggestedRange(), (CharacterRange{3, 8}));

    auto thumbs = InlineCompletionPolicy::completion("\U0001F44D\U0001F3FDt",
                                                     file("\U0001F44D\U0001F3FDthumbs.png"), false);
    ASSERT_TRUE(thumbs);
    EXPECT_EQ(thumbs->rowName, "\U0001F44D\U0001F3FDthumbs.png");
    EXPECT_EQ(thumbs->suggestedRange(), (CharacterRange{2, 11}));
}

} // namespace
} // namespace ulmaro
