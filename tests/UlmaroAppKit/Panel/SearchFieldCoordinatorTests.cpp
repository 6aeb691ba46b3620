#include "OverlayViewModelFixture.h"
#include "UlmaroAppKit/Panel/SearchFieldCoordinator.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using Command = SearchFieldCoordinator::Command;

struct FieldUnderTest : test::OverlayFixture {
    int dismissals = 0;
    SearchFieldCoordinator field{model, [this] { ++dismissals; }};
    std::string shown; // what the widget would show

    explicit FieldUnderTest(bool withEngine = true) : OverlayFixture(withEngine) {}

    /// The user makes the field read `text`; the engine answers with a row named `rowName`.
    void edit(const std::string& text, const std::string& rowName = "") {
        shown = text;
        field.edited(text);
        if (!rowName.empty()) {
            engine->answerLast(test::resultsOf({test::row(1, "/home/ana/" + rowName)}));
            mainQueue->drain();
        }
        apply();
    }
    SearchFieldCoordinator::Update apply() {
        auto update = field.update(shown);
        if (update.text) shown = *update.text;
        return update;
    }
};

InlineCompletion completion(std::string typed, std::string completed) {
    InlineCompletion c;
    c.typed = std::move(typed);
    c.completed = std::move(completed);
    return c;
}

TEST(SearchFieldCoordinator, CompletionShowsAfterTypingAndNotAfterDeleting) {
    FieldUnderTest t;
    t.edit("r", "report.pdf");
    t.edit("re", "report.pdf");
    t.edit("rep", "report.pdf");
    ASSERT_TRUE(t.model->inlineCompletion.get().has_value());
    EXPECT_EQ(t.shown, "report.pdf");
    t.shown = "rep"; // the field shows the query until the next update
    auto update = t.apply();
    EXPECT_EQ(update.text, "report.pdf");
    EXPECT_EQ(update.selectionStart, 3);
    EXPECT_EQ(update.selectionEnd, 10);
    EXPECT_FALSE(update.caretHidden) << "typing ends browsing";
    EXPECT_EQ(t.field.lastFieldText(), "report.pdf");

    // Delete removes the selected part: deleting, so no completion comes back.
    t.edit("rep", "report.pdf");
    EXPECT_FALSE(t.model->inlineCompletion.get().has_value());
    EXPECT_EQ(t.shown, "rep");

    // Typing "o" over a shown completion is deleting too (shorter than what was shown) ...
    FieldUnderTest o;
    for (const char* typed : {"r", "re", "rep"})
        o.edit(typed, "report.pdf");
    ASSERT_EQ(o.shown, "report.pdf");
    o.edit("repo", "report.pdf");
    EXPECT_FALSE(o.model->inlineCompletion.get().has_value());
    EXPECT_EQ(o.shown, "repo");
    // ... and the next character may bring it back.
    o.edit("repor", "report.pdf");
    EXPECT_TRUE(o.model->inlineCompletion.get().has_value());
    EXPECT_EQ(o.shown, "report.pdf");
}

TEST(SearchFieldCoordinator, SelectionInUtf16UnitsOnCharacterEdges) {
    const struct Case {
        const char* name;
        std::string typed;
        std::string completed;
        int start;
        int end;
    } cases[] = {
        {"ascii", "rep", "report.pdf", 3, 10},
        {"astral emoji", "\xF0\x9F\x98\x80r", "\xF0\x9F\x98\x80report", 3, 8},
        {"flag", "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7 p", "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7 plan", 6,
         9},
        {"zwj sequence", "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB",
         "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB notes", 5, 11},
        {"e and a combining accent", "e",
         "e\xCC\x81"
         "cole.txt",
         2, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FieldUnderTest t;
        t.edit(c.typed);
        t.model->inlineCompletion.set(completion(c.typed, c.completed));
        const auto update = t.field.update(c.typed);
        EXPECT_EQ(update.text, c.completed);
        EXPECT_EQ(update.selectionStart, c.start);
        EXPECT_EQ(update.selectionEnd, c.end);
    }
}

TEST(SearchFieldCoordinator, DeletingCountsCharacters) {
    const struct Case {
        std::string before;
        std::string after;
        bool deleting;
    } cases[] = {
        {"ab", "a", true},
        {"a", "ab", false},
        {"\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB"
         "a",
         "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB", true},
        // Half a ZWJ sequence is still one character.
        {"\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB", "\xF0\x9F\x91\xA9", false},
        {"e\xCC\x81", "e", false},
        {"\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7x", "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before + " -> " + c.after);
        FieldUnderTest t;
        t.edit(c.before, "match-it.txt");
        t.model->inlineCompletion.set(std::nullopt);
        t.field.edited(c.after);
        t.engine->answerLast(test::resultsOf({test::row(1, "/x/" + c.after + "-more.txt")}));
        t.mainQueue->drain();
        // A completion is offered only for an edit that does not delete.
        EXPECT_EQ(t.model->inlineCompletion.get().has_value(), !c.deleting);
    }
}

TEST(SearchFieldCoordinator, FollowsTheModel) {
    FieldUnderTest t;
    // A stale completion (made for other text) leaves the field alone.
    t.edit("rep");
    t.model->inlineCompletion.set(completion("re", "report.pdf"));
    EXPECT_EQ(t.field.update("rep").text, std::nullopt);

    // A query the model sets is taken, and remembered as the field's text.
    t.model->selectRecentSearch("invoice");
    auto update = t.field.update("rep");
    EXPECT_EQ(update.text, "invoice");
    EXPECT_EQ(t.field.lastFieldText(), "invoice");
    EXPECT_EQ(t.field.lastTypedText(), "rep");

    t.model->isBrowsingResults.set(true);
    EXPECT_TRUE(t.field.update("invoice").caretHidden);
    EXPECT_EQ(t.field.update("invoice").placeholder, "Search your computer…");
    EXPECT_TRUE(t.field.update("invoice").enabled);

    // No engine: the first build on its way, or no index at all, as the area below says.
    FieldUnderTest none(false);
    EXPECT_FALSE(none.field.update("").enabled);
    ASSERT_TRUE(none.model->state.get().failureIfAny());
    EXPECT_EQ(none.field.update("").placeholder, "No index available");
    none.model->applyIndexingState(120);
    EXPECT_EQ(none.field.update("").placeholder, "Indexing your computer…");
}

TEST(SearchFieldCoordinator, Commands) {
    FieldUnderTest t;
    // Return with nothing to open: handled, the panel stays.
    EXPECT_TRUE(t.field.perform(Command::insertNewline));
    EXPECT_EQ(t.dismissals, 0);
    EXPECT_FALSE(t.field.perform(Command::deleteToBeginningOfLine)) << "no row: the text goes";

    t.showRows({test::row(1, "/a/one"), test::row(2, "/a/two"),
                test::row(3, "/media/b/x", test::offlineCatalog())},
               "o");
    EXPECT_TRUE(t.field.perform(Command::moveDown));
    EXPECT_EQ(t.model->selectedID.get(), 2u);
    EXPECT_TRUE(t.field.perform(Command::moveUp));
    EXPECT_EQ(t.model->selectedID.get(), 1u);

    EXPECT_TRUE(t.field.perform(Command::insertLineBreak));
    EXPECT_EQ(t.actions->revealed, std::vector<std::string>{"/a/one"});
    EXPECT_EQ(t.dismissals, 1);

    t.actions->trashSucceeds = false;
    EXPECT_FALSE(t.field.perform(Command::deleteToBeginningOfLine));
    t.actions->trashSucceeds = true;
    EXPECT_TRUE(t.field.perform(Command::deleteToBeginningOfLine));
    EXPECT_EQ(t.model->rows().size(), 2u);
    EXPECT_EQ(t.model->queryText.get(), "o") << "the query stays";
    t.model->selectedID.set(3u);
    EXPECT_FALSE(t.field.perform(Command::deleteToBeginningOfLine)) << "an offline row";

    t.model->showingCheatSheet.set(true);
    EXPECT_TRUE(t.field.perform(Command::cancelOperation));
    EXPECT_FALSE(t.model->showingCheatSheet.get());
    EXPECT_EQ(t.dismissals, 1);
    EXPECT_TRUE(t.field.perform(Command::cancelOperation));
    EXPECT_EQ(t.dismissals, 2);

    t.model->selectedID.set(2u);
    EXPECT_TRUE(t.field.perform(Command::insertNewline));
    EXPECT_EQ(t.events.back(), "open /a/two");
    EXPECT_EQ(t.dismissals, 3);
}

} // namespace
} // namespace ulmaro
