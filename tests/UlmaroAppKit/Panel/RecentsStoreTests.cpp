#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Panel/RecentsStore.h"
#include "UlmaroAppKit/Text/TextFormat.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

constexpr const char* searchesKey = "app.ulmaro.recentSearches";
constexpr const char* filesKey = "app.ulmaro.recentFiles";

WallTime at(double secondsSinceReference) {
    return dateFromReferenceSeconds(secondsSinceReference);
}

// Concatenation without a temporary on the left (GCC 12 warns wrongly about that form).
std::string numbered(std::string prefix, int i) {
    prefix += std::to_string(i);
    return prefix;
}

std::vector<std::string> queries(const RecentsStore& store) {
    std::vector<std::string> out;
    for (const auto& e : store.recentSearches())
        out.push_back(e.query);
    return out;
}

struct Fixture {
    std::shared_ptr<InMemorySettingsStore> settings = std::make_shared<InMemorySettingsStore>();
    RecentsStore store{settings, searchesKey, filesKey};
    RecentsStore reloaded() const { return RecentsStore(settings, searchesKey, filesKey); }
};

TEST(RecentsStore, RecordedSearchesDropOlderEqualsAndPrefixes) {
    struct Case {
        std::vector<std::string> recorded;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {{"a1", "b2", "c3", "d4", "e5", "f6"}, {"f6", "e5", "d4", "c3", "b2"}},
        {{"rep", "report"}, {"report"}},
        {{"report", "rep"}, {"rep", "report"}},
        {{"rep", "Report"}, {"Report", "rep"}},
        {{"x", "y", "x"}, {"x", "y"}},
        {{"", "q"}, {"q"}},
    };
    for (const auto& c : cases) {
        Fixture f;
        for (const auto& q : c.recorded)
            f.store.recordSearch(q, 1, at(0));
        EXPECT_EQ(queries(f.store), c.expected) << c.recorded.back();
        EXPECT_EQ(queries(f.reloaded()), c.expected);
    }
}

TEST(RecentsStore, ARepeatedSearchKeepsTheLaterCountAndDate) {
    Fixture f;
    f.store.recordSearch("invoice", 3, at(100));
    f.store.recordSearch("other", 1, at(150));
    f.store.recordSearch("invoice", 7, at(200));
    ASSERT_EQ(f.store.recentSearches().size(), 2u);
    EXPECT_EQ(f.store.recentSearches()[0], (RecentSearchEntry{"invoice", 7, at(200)}));
    EXPECT_EQ(nlohmann::json::parse(*f.settings->dataValue(searchesKey)),
              nlohmann::json::parse(R"([{"query":"invoice","resultCount":7,"ranAt":200.0},
                                        {"query":"other","resultCount":1,"ranAt":150.0}])"));
}

TEST(RecentsStore, OpenedFilesReplaceTheirPathAndKeepFive) {
    Fixture f;
    for (int i = 0; i < 6; ++i)
        f.store.recordOpened(numbered("/f/", i), numbered("n", i), at(i));
    f.store.recordOpened("/f/3", "renamed", at(10));
    ASSERT_EQ(f.store.recentFiles().size(), 5u);
    EXPECT_EQ(f.store.recentFiles()[0], (RecentFileEntry{"/f/3", "renamed", at(10)}));
    EXPECT_EQ(f.store.recentFiles()[1].path, "/f/5");
    EXPECT_EQ(f.store.recentFiles()[4].path, "/f/1");
    EXPECT_EQ(f.reloaded().recentFiles(), f.store.recentFiles());
}

TEST(RecentsStore, APathThatIsNotUtf8IsNotRecordedAndNothingIsLost) {
    Fixture f;
    int changes = 0;
    f.store.onChange = [&] { ++changes; };
    f.store.recordOpened("/home/a.txt", "a.txt", at(1));
    const auto stored = f.settings->dataValue(filesKey);
    f.store.recordOpened("/home/caf\xe9.txt", "caf\xef\xbf\xbd.txt", at(2));
    EXPECT_EQ(f.store.recentFiles().size(), 1u);
    EXPECT_EQ(f.settings->dataValue(filesKey), stored);
    EXPECT_EQ(changes, 1);
    // Names and queries are text: bad bytes are repaired rather than breaking the write.
    f.store.recordOpened("/home/b.txt", "b\xff", at(3));
    f.store.recordSearch("q\xff", 1, at(3));
    EXPECT_EQ(f.reloaded().recentFiles()[0].name, "b\xef\xbf\xbd");
    EXPECT_EQ(f.reloaded().recentSearches()[0].query, "q\xef\xbf\xbd");
}

TEST(RecentsStore, DatesReadBackEqualToWhatWasRecorded) {
    Fixture f;
    const WallTime odd = dateFromReferenceSeconds(800000000) + std::chrono::nanoseconds(123456789);
    f.store.recordSearch("q", 1, odd);
    f.store.recordOpened("/p", "p", odd);
    auto again = f.reloaded();
    EXPECT_EQ(again.recentSearches(), f.store.recentSearches());
    EXPECT_EQ(again.recentFiles(), f.store.recentFiles());
    EXPECT_LT(std::chrono::abs(f.store.recentSearches()[0].ranAt - odd),
              std::chrono::microseconds(1));
}

TEST(RecentsStore, UnreadableStoredListsReadEmptyAndAreOverwritten) {
    for (const char* stored : {"{", R"({"query":"a"})", R"([{"query":"a","resultCount":1}])",
                               R"([{"query":"a","resultCount":1.5,"ranAt":0}])",
                               R"([{"query":"a","resultCount":1,"ranAt":"yesterday"}])",
                               R"([{"path":"/a","name":"a","openedAt":0}, 7])"}) {
        auto settings = std::make_shared<InMemorySettingsStore>();
        settings->setData(searchesKey, stored);
        settings->setData(filesKey, stored);
        RecentsStore store(settings, searchesKey, filesKey);
        EXPECT_TRUE(store.recentSearches().empty()) << stored;
        EXPECT_TRUE(store.recentFiles().empty()) << stored;
        EXPECT_EQ(*settings->dataValue(searchesKey), stored);
        store.recordSearch("q", 1, at(0));
        EXPECT_EQ(RecentsStore(settings, searchesKey, filesKey).recentSearches().size(), 1u);
    }
    // A longer stored list is not cut at load.
    auto settings = std::make_shared<InMemorySettingsStore>();
    nlohmann::json seven = nlohmann::json::array();
    for (int i = 0; i < 7; ++i)
        seven.push_back({{"path", numbered("/", i)}, {"name", "n"}, {"openedAt", i}});
    settings->setData(filesKey, seven.dump());
    EXPECT_EQ(RecentsStore(settings, searchesKey, filesKey).recentFiles().size(), 7u);
}

TEST(RecentsStore, ClearAllWritesBothListsThenTellsOnce) {
    Fixture f;
    f.store.recordSearch("q", 1, at(0));
    f.store.recordOpened("/p", "p", at(0));
    std::vector<std::string> seen;
    f.store.onChange = [&] {
        seen.push_back(*f.settings->dataValue(searchesKey) + *f.settings->dataValue(filesKey));
    };
    f.store.clearAll();
    EXPECT_EQ(seen, std::vector<std::string>{"[][]"});
    EXPECT_TRUE(f.store.recentSearches().empty());
    EXPECT_TRUE(f.store.recentFiles().empty());
}

} // namespace
} // namespace ulmaro
