#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Search/FrecencyStore.h"
#include "UlmaroAppKit/Text/TextFormat.h"

#include <gtest/gtest.h>
#include <limits>

namespace ulmaro {
namespace {

constexpr const char* key = "app.ulmaro.frecency";
constexpr Seconds day{86400};

WallTime plus(WallTime t, Seconds s) {
    return t + std::chrono::duration_cast<WallTime::duration>(s);
}

struct Harness {
    std::shared_ptr<InMemorySettingsStore> settings = std::make_shared<InMemorySettingsStore>();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();

    std::unique_ptr<FrecencyStore> make() {
        return std::make_unique<FrecencyStore>(settings, key, clock, clock);
    }
    WallTime now() const { return clock->now(); }
    std::optional<nlohmann::json> stored() const {
        const auto text = settings->dataValue(key);
        if (!text) return std::nullopt;
        return nlohmann::json::parse(*text);
    }
};

TEST(Frecency, ScoreDecaysByHalfEveryFourteenDaysAndGrowsWithOpens) {
    const WallTime t = ManualClock::defaultStart();
    struct Case {
        std::int64_t opens;
        Seconds since;
        double score;
    };
    const Case cases[] = {{1, Seconds(0), 1.0},
                          {1, 14 * day, 0.5},
                          {1, 28 * day, 0.25},
                          {3, Seconds(0), 2.0},
                          {7, Seconds(0), 3.0},
                          {0, Seconds(0), 0},
                          {1, -30 * day, 1.0}, // the future: no decay
                          {2, Seconds(0), std::log2(3.0)}};
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ((Frecency{c.opens, t}.score(plus(t, c.since))), c.score)
            << c.opens << " opens, " << c.since.count() << " s";
    // Far-apart dates and a saturated count stay finite.
    const Frecency extreme{std::numeric_limits<std::int64_t>::max(),
                           dateFromReferenceSeconds(-1e300)};
    EXPECT_EQ(extreme.score(dateFromReferenceSeconds(1e300)), 0.0);
    EXPECT_DOUBLE_EQ((Frecency{std::numeric_limits<std::int64_t>::max(), t}.score(t)), 63.0);
}

TEST(FrecencyStore, BoostIsCappedAtFortyAndZeroForUnknownPaths) {
    Harness h;
    const auto store = h.make();
    const WallTime t = h.now();
    EXPECT_EQ(store->boost("/a", t), 0);
    EXPECT_TRUE(store->boostSnapshot(t).empty());

    store->recordOpen("/once", t);
    for (int i = 0; i < 7; ++i)
        store->recordOpen("/seven", t);
    EXPECT_EQ(store->frecency("/seven"), (Frecency{7, t}));
    const std::tuple<const char*, Seconds, double> cases[] = {
        {"/once", Seconds(0), 40},
        {"/once", 14 * day, 20},
        {"/once", 28 * day, 10},
        {"/once", -5 * day, 40},
        {"/seven", 22 * day, 40}, // score still just above 1
        {"/seven", 23 * day, 40 * 3 * std::exp2(-23.0 / 14)},
        {"/ONCE", Seconds(0), 0}};
    for (const auto& [path, since, boost] : cases)
        EXPECT_DOUBLE_EQ(store->boost(path, plus(t, since)), boost) << path << " " << since.count();

    const auto snapshot = store->boostSnapshot(plus(t, 14 * day));
    EXPECT_EQ(snapshot.size(), 2u);
    EXPECT_DOUBLE_EQ(snapshot.find(std::string_view("/once"))->second, 20);
    EXPECT_DOUBLE_EQ(snapshot.find(std::string_view("/seven"))->second, 40);
}

TEST(FrecencyStore, ABurstOfOpensIsWrittenOnceTwoSecondsAfterTheLast) {
    Harness h;
    const auto store = h.make();
    store->recordOpen("/a", h.now());
    h.clock->advance(Seconds(1.5));
    store->recordOpen("/a", h.now());
    h.clock->advance(Seconds(1.9));
    EXPECT_FALSE(h.stored()) << "written before the burst settled";
    h.clock->advance(Seconds(0.1));
    ASSERT_TRUE(h.stored());
    EXPECT_EQ((*h.stored())["/a"]["c"], 2);
    EXPECT_EQ(h.clock->activeTimers(), 0u);

    // Written once: a value put there afterwards stays.
    h.settings->setData(key, "{}");
    h.clock->advance(Seconds(10));
    EXPECT_EQ(h.settings->dataValue(key), "{}");
}

TEST(FrecencyStore, FlushWritesAtOnceAndCancelsThePendingWrite) {
    Harness h;
    auto store = h.make();
    store->flush();
    EXPECT_EQ(h.settings->dataValue(key), "{}") << "nothing pending still writes the map";

    store->recordOpen("/a", h.now());
    store->flush();
    EXPECT_EQ((*h.stored())["/a"]["c"], 1);
    h.settings->setData(key, "sentinel");
    h.clock->advance(Seconds(5));
    EXPECT_EQ(h.settings->dataValue(key), "sentinel");

    // A write still pending when the store goes never runs.
    store->recordOpen("/b", h.now());
    store.reset();
    h.clock->advance(Seconds(5));
    EXPECT_EQ(h.settings->dataValue(key), "sentinel");
}

TEST(FrecencyStore, WhatIsWrittenReadsBackTheSame) {
    Harness h;
    const WallTime t = plus(h.now(), Seconds(0.25));
    {
        const auto store = h.make();
        store->recordOpen("/Users/a/Report.pdf", t);
        store->recordOpen("/Users/a/report.pdf", t); // letter case makes another path
        store->recordOpen("/Users/a/report.pdf", t);
        store->recordOpen("/Users/a/caf\xc3\xa9", t);
        store->recordOpen("/Users/a/bad\xff", t); // not UTF-8: kept, never written
        EXPECT_EQ(store->count(), 4u);
        EXPECT_EQ(store->boost("/Users/a/bad\xff", t), 40);
        store->flush();
    }
    const nlohmann::json stored = *h.stored();
    EXPECT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored["/Users/a/report.pdf"]["c"], 2);
    EXPECT_TRUE(stored["/Users/a/report.pdf"]["t"].is_number_float());
    EXPECT_DOUBLE_EQ(stored["/Users/a/report.pdf"]["t"].get<double>(),
                     secondsSinceReferenceDate(t));

    const auto again = h.make();
    EXPECT_EQ(again->count(), 3u);
    // Seconds as a double keep the time to well within a microsecond.
    const auto near = [&](std::string_view path, std::int64_t opens) {
        const auto read = again->frecency(path);
        return read && read->openCount == opens &&
               std::chrono::abs(read->lastOpened - t) < std::chrono::microseconds(1);
    };
    EXPECT_TRUE(near("/Users/a/report.pdf", 2));
    EXPECT_TRUE(near("/Users/a/Report.pdf", 1));
    EXPECT_EQ(again->frecency("/Users/a/bad\xff"), std::nullopt);
}

TEST(FrecencyStore, StoredValuesAreCheckedWhenLoaded) {
    struct Case {
        const char* text;
        std::size_t count;
    };
    // An entry that cannot be read goes alone; "/b" beside it stays.
    const Case cases[] = {
        {"not json", 0},
        {"[1, 2]", 0},
        {R"({"/a": 3, "/b": {"c": 1, "t": 5.5}})", 1},
        {R"({"/a": {"c": 1, "t": "yesterday"}, "/b": {"c": 1, "t": 5.5}})", 1},
        {R"({"/a": {"c": 1.5, "t": 5.5}, "/b": {"c": 1, "t": 5.5}})", 1},
        {R"({"/a": {"c": "3", "t": 5.5}, "/b": {"c": 1, "t": 5.5}})", 1},
        {R"({"/a": {"t": 5.5}, "/b": {"c": 1, "t": 5.5}})", 1},
        {R"({"/a": {"c": 1}, "/b": {"c": 1, "t": 5.5}})", 1},
        {R"({"/a": {"c": 1, "t": 5.5, "extra": true}, "\/b\/c": {"c": 2, "t": 7}})", 2},
        // A negative count has no score.
        {R"({"/a": {"c": -3, "t": 5.5}, "/b": {"c": 2, "t": 7}})", 1},
        {R"({"/a": {"c": -3.0, "t": 5.5}, "/b": {"c": 2, "t": 7}})", 1},
        {R"({"/a": {"c": 0, "t": 5.5}})", 1},
        {R"({"/a": {"c": 3.0, "t": 5.5}, "/b": {"c": 2, "t": 7}})", 2},
    };
    for (const Case& c : cases) {
        Harness h;
        h.settings->setData(key, c.text);
        const auto store = h.make();
        EXPECT_EQ(store->count(), c.count) << c.text;
        EXPECT_EQ(h.settings->dataValue(key), c.text) << "left as it was until the next write";
    }

    Harness h;
    h.settings->setData(key, R"({"/z": {"c": 0, "t": 5.5}, "/b/c": {"c": 18446744073709551615,
                                "t": 1e300}})");
    const auto store = h.make();
    EXPECT_EQ(store->boost("/z", h.now()), 0);
    EXPECT_EQ(store->frecency("/b/c")->openCount, std::numeric_limits<std::int64_t>::max());
    store->recordOpen("/b/c", h.now());
    EXPECT_EQ(store->frecency("/b/c")->openCount, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(store->boost("/b/c", h.now()), 40);

    // A whole number written with a fraction part is that count.
    Harness decimal;
    decimal.settings->setData(key, R"({"/a": {"c": 3.0, "t": 5.5}, "/b": {"c": 1e30, "t": 5}})");
    const auto read = decimal.make();
    EXPECT_EQ(read->frecency("/a"), (Frecency{3, dateFromReferenceSeconds(5.5)}));
    EXPECT_EQ(read->frecency("/b")->openCount, std::numeric_limits<std::int64_t>::max());
}

TEST(FrecencyStore, TheFiveThousandAndFirstPathTrimsToTheBestFourThousandFiveHundred) {
    Harness h;
    const double now = secondsSinceReferenceDate(h.now());
    nlohmann::json stored = nlohmann::json::object();
    // Path i was opened i hours ago: the lower i, the higher its score.
    for (int i = 0; i < 5000; ++i)
        stored["/p" + std::to_string(i)] = {{"c", 1}, {"t", now - 3600.0 * i}};
    h.settings->setData(key, stored.dump());
    const auto store = h.make();
    ASSERT_EQ(store->count(), 5000u);

    store->recordOpen("/p0", h.now()); // no new path: nothing trimmed
    EXPECT_EQ(store->count(), 5000u);
    store->recordOpen("/new", h.now());
    EXPECT_EQ(store->count(), 4500u);
    EXPECT_TRUE(store->frecency("/new"));
    EXPECT_TRUE(store->frecency("/p4498"));
    EXPECT_FALSE(store->frecency("/p4499"));
}

} // namespace
} // namespace ulmaro
