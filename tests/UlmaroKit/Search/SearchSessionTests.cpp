#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Search/Matcher.h"
#include "UlmaroKit/Search/QueryParser.h"
#include "UlmaroKit/Search/SearchSession.h"
#include "support/TempDir.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ulmaro {
namespace {

/// A store of files directly under the root, in the order given.
std::shared_ptr<const IndexStore> storeOf(const test::TempDir& dir, const std::string& file,
                                          const std::vector<std::string>& sessionNames) {
    IndexBuilder builder;
    const auto root = builder.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    for (const auto& name : sessionNames)
        builder.addEntry(name, root, RecordFlags{}, 0);
    IndexWriter::write(builder, {}, dir / file);
    return IndexStore::open(dir / file);
}

const std::vector<std::string> sessionNames = {
    "report.pdf", "Report-2024.docx", "reporter",    "repo",  "my-report.txt",
    "rep",        "deport",           "readme.md",   "notes", "r",
    "prepare",    "foo bar",          "keyword.txt",
};

class SearchSessionTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::shared_ptr<const IndexStore> store = storeOf(dir, "index.bin", sessionNames);
    SearchSession session{store};

    std::vector<Match> fresh(std::string_view text) {
        Matcher matcher(store);
        return matcher.matchWithFuzzyFallback(QueryParser::parse(text));
    }
};

TEST_F(SearchSessionTest, TypingNarrowsAndDeletingReturnsTheStoredAnswer) {
    std::vector<SearchSession::Results> answers;
    const std::vector<std::string> typed = {"r", "re", "rep", "repo"};
    for (std::size_t i = 0; i < typed.size(); ++i) {
        answers.push_back(session.search(typed[i]));
        EXPECT_EQ(session.stackDepth(), i + 1) << typed[i];
    }
    // Narrowed answers equal fresh ones: a sole word's matches only shrink as it grows.
    EXPECT_EQ(*answers[2], fresh("rep"));
    EXPECT_EQ(*answers[3], fresh("repo"));

    auto back = session.search("rep");
    EXPECT_EQ(back, answers[2]); // the very same stored list, nothing matched
    EXPECT_EQ(session.stackDepth(), 3u);

    EXPECT_EQ(*session.search("repor"), fresh("repor"));
    EXPECT_EQ(session.stackDepth(), 4u);
}

TEST_F(SearchSessionTest, SearchesThatDoNotNarrowStartAfresh) {
    struct Step {
        const char* text;
        std::size_t depthAfter;
    };
    // Each row follows the previous one in one session.
    const std::vector<Step> steps = {
        {"foo", 1},
        {"foo", 1},      // the same text again: the stored answer
        {"foo ", 2},     // one word still: narrows
        {"fo", 1},       // not stored, does not extend: afresh
        {"fo bar", 1},   // a second word: afresh
        {"fo bar x", 1}, // extends, but not one word
        {"rep", 1},
        {"rep|", 1}, // an operator
        {"\"rep", 1},
        {"\"rep\"", 1}, // a phrase
        {"ext:pdf", 1},
        {"ext:pdfx", 1},
        // Decided on the parsed queries: "!!" is the word "!!", "!!a" the word "a".
        {"!", 1},
        {"!!", 2},
        {"!!a", 1},
        {"!!ab", 2},
        {"rep", 1},
        {"REPO", 2}, // no longer an extension of the text, but still a refinement
    };
    for (const Step& step : steps) {
        auto results = session.search(step.text);
        EXPECT_EQ(*results, fresh(step.text)) << step.text;
        EXPECT_EQ(session.stackDepth(), step.depthAfter) << step.text;
    }
}

TEST_F(SearchSessionTest, EmptyTextAnswersNothingAndEmptiesTheStack) {
    session.search("r");
    session.search("re");
    for (const char* text : {"", "   "}) {
        EXPECT_TRUE(session.search(text)->empty());
        EXPECT_EQ(session.stackDepth(), 0u);
    }
    session.search("r");
    session.reset();
    EXPECT_EQ(session.stackDepth(), 0u);
}

TEST_F(SearchSessionTest, NarrowingNeverAddsFuzzyMatches) {
    // "kywr" matches no name plainly, so the fresh search gives fuzzy matches only.
    auto fuzzy = session.search("kywr");
    ASSERT_FALSE(fuzzy->empty());
    EXPECT_EQ(fuzzy->front().quality, MatchQuality::fuzzy);
    // Narrowed from that level: only plain matches among it, which are none, although a
    // fresh search would guess again.
    EXPECT_TRUE(session.search("kywrd")->empty());
    EXPECT_EQ(session.stackDepth(), 2u);
    EXPECT_FALSE(fresh("kywrd").empty());
}

TEST_F(SearchSessionTest, AStoreChangeMakesEveryLevelStale) {
    session.search("rep");
    session.search("repo");
    test::TempDir other;
    auto next = storeOf(other, "index.bin", {"repository", "reporting", "repo.git"});
    session.updateStore(next);
    EXPECT_EQ(session.generation(), 1u);
    EXPECT_EQ(&session.store(), next.get());

    Matcher matcher(next);
    const auto expected = matcher.matchWithFuzzyFallback(QueryParser::parse("repo"));
    EXPECT_EQ(*session.search("repo"), expected); // not the stored answer of the old store
    EXPECT_EQ(session.stackDepth(), 1u);          // and not narrowed from "rep" either
}

// Several words keep their meaning while the user adds a filter: it only narrows.
TEST(SearchSessionSeveralWords, AFilterOnlyNarrows) {
    IndexBuilder builder;
    const auto docs =
        builder.addEntry("docs", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
    const auto pdf = builder.addEntry("report.pdf", docs, RecordFlags{}, 0);
    const auto draft = builder.addEntry("report-draft.pdf", docs, RecordFlags{}, 0);
    const auto txt = builder.addEntry("report.txt", docs, RecordFlags{}, 0);
    test::TempDir dir;
    IndexWriter::write(builder, {}, dir / "index.bin");
    SearchSession session(IndexStore::open(dir / "index.bin"));
    auto ids = [&](std::string_view text) {
        std::vector<std::uint32_t> out;
        for (const Match& m : *session.search(text))
            out.push_back(m.id);
        return out;
    };
    using V = std::vector<std::uint32_t>;
    EXPECT_EQ(ids("report docs"), (V{pdf, draft, txt}));
    EXPECT_EQ(ids("report docs ."), (V{pdf, draft, txt}));
    EXPECT_EQ(ids("report docs .pdf"), (V{pdf, draft}));
    EXPECT_EQ(ids("report docs .pdf !"), V{});
    EXPECT_EQ(ids("report docs .pdf !draft"), (V{pdf}));
}

TEST(SearchSessionTrigrams, TheIndexReachesTheMatcherUntilTheStoreChanges) {
    // Large enough for the whole-store dispatch, where a sole word consults the trigram index.
    std::vector<std::string> many(Matcher::wholeStoreDispatchThreshold, "filler");
    many[12345] = "quarterly.pdf";
    test::TempDir dir;
    auto store = storeOf(dir, "index.bin", many);
    SearchSession session(store);
    ASSERT_EQ(session.search("quarterly")->size(), 1u);

    // An index that claims no block holds the word: the matcher believes it.
    auto lying = TrigramIndex::build([](std::uint32_t) { return std::string_view("filler"); },
                                     static_cast<std::uint32_t>(store->count()));
    session.setTrigrams(std::make_shared<const TrigramIndex>(*lying));
    EXPECT_NE(session.trigrams(), nullptr);
    session.reset();
    auto filtered = session.search("quarterly"); // at most the fuzzy fallback's guesses
    EXPECT_TRUE(std::ranges::all_of(
        *filtered, [](const Match& m) { return m.quality == MatchQuality::fuzzy; }));

    session.updateStore(store);
    EXPECT_EQ(session.trigrams(), nullptr);
    ASSERT_EQ(session.search("quarterly")->size(), 1u);
}

} // namespace
} // namespace ulmaro
