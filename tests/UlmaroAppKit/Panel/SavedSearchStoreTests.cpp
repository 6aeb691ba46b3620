#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Panel/SavedSearchStore.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

constexpr const char* key = "app.ulmaro.savedSearches";

struct Step {
    enum Kind { add, remove } kind;
    std::string name;
    std::string query;
};

struct StoredCase {
    const char* what;
    std::vector<Step> steps;
    std::vector<SavedSearch> expected;
};

TEST(SavedSearchStore, AddAndRemoveFollowTheirRules) {
    const std::vector<StoredCase> cases = {
        {"only spaces", {{Step::add, "n", "   "}}, {}},
        {"trimmed, named by its query", {{Step::add, "", "  photos \n"}}, {{"photos", "photos"}}},
        {"renamed in place",
         {{Step::add, "", "a"}, {Step::add, "", "b"}, {Step::add, " Alpha ", "a"}},
         {{"Alpha", "a"}, {"b", "b"}}},
        {"empty name keeps the name",
         {{Step::add, "Alpha", "a"}, {Step::add, "  ", "a"}},
         {{"Alpha", "a"}}},
        {"case and inner spaces differ",
         {{Step::add, "", "Photos"},
          {Step::add, "", "photos"},
          {Step::add, "", "my  photos"},
          {Step::add, "", "my photos"}},
         {{"Photos", "Photos"},
          {"photos", "photos"},
          {"my  photos", "my  photos"},
          {"my photos", "my photos"}}},
        {"remove is not trimmed",
         {{Step::add, "", "photos"}, {Step::remove, "", " photos "}},
         {{"photos", "photos"}}},
        {"remove takes every copy",
         {{Step::add, "", "x"}, {Step::add, "", "y"}, {Step::remove, "", "x"}},
         {{"y", "y"}}},
    };
    for (const auto& c : cases) {
        auto settings = std::make_shared<InMemorySettingsStore>();
        SavedSearchStore store(settings, key);
        for (const auto& step : c.steps)
            step.kind == Step::add ? store.add(step.name, step.query) : store.remove(step.query);
        EXPECT_EQ(store.searches.get(), c.expected) << c.what;
        EXPECT_EQ(SavedSearchStore(settings, key).searches.get(), c.expected) << c.what;
    }
}

TEST(SavedSearchStore, WritesAsJsonAndTellsObservers) {
    auto settings = std::make_shared<InMemorySettingsStore>();
    SavedSearchStore store(settings, key);
    int changes = 0;
    auto subscription = store.searches.subscribe([&](const auto&) { ++changes; });
    store.add("Bills", "invoice .pdf");
    EXPECT_EQ(nlohmann::json::parse(*settings->dataValue(key)),
              nlohmann::json::parse(R"([{"name":"Bills","query":"invoice .pdf"}])"));
    store.add("", "   ");
    EXPECT_EQ(changes, 1);
    // A saved query with an empty name changes nothing but is written again.
    settings->remove(key);
    store.add("", "invoice .pdf");
    EXPECT_TRUE(settings->dataValue(key).has_value());
    store.restoreDefaults();
    EXPECT_TRUE(store.searches.get().empty());
    EXPECT_EQ(*settings->dataValue(key), "[]");
}

TEST(SavedSearchStore, AnUnreadableValueReadsEmptyAndIsReplacedByTheNextWrite) {
    for (const char* stored : {"not json", R"({"name":"a","query":"a"})", R"([{"name":"a"}])",
                               R"([{"name":"a","query":3}])"}) {
        auto settings = std::make_shared<InMemorySettingsStore>();
        settings->setData(key, stored);
        SavedSearchStore store(settings, key);
        EXPECT_TRUE(store.searches.get().empty()) << stored;
        EXPECT_EQ(*settings->dataValue(key), stored) << "nothing written at start";
        store.add("", "q");
        EXPECT_EQ(SavedSearchStore(settings, key).searches.get(),
                  (std::vector<SavedSearch>{{"q", "q"}}));
    }
    auto settings = std::make_shared<InMemorySettingsStore>();
    settings->setValue(key, 42); // another type under the key
    EXPECT_TRUE(SavedSearchStore(settings, key).searches.get().empty());
}

} // namespace
} // namespace ulmaro
