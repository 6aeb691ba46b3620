#include "SmallIndex.h"
#include "UlmaroKit/Search/Ranker.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace ulmaro {
namespace {

using test::SmallIndex;
constexpr auto exact = MatchQuality::exact;
constexpr auto prefix = MatchQuality::prefix;
constexpr auto wordBoundary = MatchQuality::wordBoundary;
constexpr auto substring = MatchQuality::substring;
constexpr auto fuzzyQuality = MatchQuality::fuzzy;

std::vector<std::uint32_t> ids(const std::vector<RankedResult>& results) {
    std::vector<std::uint32_t> out;
    for (const auto& r : results)
        out.push_back(r.match.id);
    return out;
}

struct Tree {
    SmallIndex idx;
    std::uint32_t root, applications, safari, contents, macos, inApp, hiddenApp, proj, nodeModules,
        a, js, repo, git, objects, ab, inGit, buildCap, inBuild, topFile, hiddenFile;
    std::shared_ptr<const IndexStore> store;

    Tree() {
        root = idx.add("", SmallIndex::none, SmallIndex::dir);
        applications = idx.add("Applications", root, SmallIndex::dir);
        safari = idx.add("Safari.app", applications, SmallIndex::app);
        contents = idx.add("Contents", safari, SmallIndex::dir);
        macos = idx.add("MacOS", contents, SmallIndex::dir);
        inApp = idx.add("Safari", macos);
        hiddenApp = idx.add(".Secret.app", SmallIndex::none, SmallIndex::app | SmallIndex::hidden);
        proj = idx.add("proj", root, SmallIndex::dir);
        nodeModules = idx.add("node_modules", proj, SmallIndex::dir);
        a = idx.add("a", nodeModules, SmallIndex::dir);
        js = idx.add("index.js", a);
        repo = idx.add("repo", root, SmallIndex::dir);
        git = idx.add(".git", repo, SmallIndex::dir | SmallIndex::hidden);
        objects = idx.add("objects", git, SmallIndex::dir);
        ab = idx.add("ab", objects, SmallIndex::dir);
        inGit = idx.add("f00", ab);
        buildCap = idx.add("Build", repo, SmallIndex::dir);
        inBuild = idx.add("out.o", buildCap);
        topFile = idx.add("notes.txt", root);
        hiddenFile = idx.add(".profile", root, SmallIndex::hidden);
        store = idx.open();
    }
};

TEST(Ranker, Scores) {
    Tree t;
    Ranker ranker(t.store);
    struct Case {
        std::uint32_t id;
        std::int32_t offset;
        std::int32_t score;
    };
    const Case cases[] = {
        {t.safari, 0, 50000 - 20},     // application at depth 2
        {t.hiddenApp, 0, 49800},       // hidden application, no parent
        {t.inApp, 3, -40000 - 50 - 3}, // inside an application bundle
        {t.contents, 0, -40000 - 30},
        {t.js, 12, -40 - 5000 - 12}, // under node_modules
        {t.nodeModules, 0, -20},     // its own name does not demote it
        {t.a, 0, -30 - 5000},
        {t.inGit, 0, -50 - 5000}, // .git three levels up
        {t.git, 0, -200 - 20},    // hidden
        {t.inBuild, 0, -30},      // "Build" is not "build"
        {t.topFile, 0, -10},      // parent is the root ""
        {t.root, 0, 0},
        {t.topFile, 250, -10 - 100}, // offset costs at most 100
        {t.hiddenFile, 1, -200 - 10 - 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ranker.score({c.id, substring, c.offset}), c.score)
            << t.store->name(c.id) << " at " << c.offset;
    EXPECT_TRUE(Ranker::demotedPathComponents().contains("Group Containers"));
    EXPECT_EQ(Ranker::demotedPathComponents().size(), 19u);
}

TEST(Ranker, BucketsComeBeforeScores) {
    Tree t;
    Ranker ranker(t.store);
    const std::vector<Match> matches = {
        {t.js, exact, 0}, // exact, but low score
        {t.topFile, substring, 0},
        {t.safari, prefix, 0},       // application by prefix: bucket 0, above the exact file
        {t.hiddenApp, substring, 0}, // application by substring stays in its bucket
        {t.inBuild, wordBoundary, 0},
        {t.repo, fuzzyQuality, 0},
        {t.proj, prefix, 0},
    };
    EXPECT_EQ(ids(ranker.rank(matches, 100)),
              (std::vector<std::uint32_t>{t.safari, t.js, t.proj, t.inBuild, t.hiddenApp, t.topFile,
                                          t.repo}));
    EXPECT_EQ(ids(ranker.rank(matches, 3)), (std::vector<std::uint32_t>{t.safari, t.js, t.proj}));
    EXPECT_TRUE(ranker.rank(matches, 0).empty());
    EXPECT_TRUE(ranker.rank({}, 5).empty());
    const auto all = ranker.rank(matches, 100);
    EXPECT_EQ(all.front().score, 49980);
    EXPECT_EQ(all.front().match, (Match{t.safari, prefix, 0}));
}

TEST(Ranker, EqualScoresKeepInputOrder) {
    Tree t;
    Ranker ranker(t.store);
    // All four sit right under the root: equal scores.
    const std::vector<Match> matches = {{t.proj, substring, 0},
                                        {t.repo, substring, 0},
                                        {t.topFile, substring, 0},
                                        {t.applications, substring, 0}};
    EXPECT_EQ(ids(ranker.rank(matches, 4)),
              (std::vector<std::uint32_t>{t.proj, t.repo, t.topFile, t.applications}));
    // Competing for the last place, the earlier one wins.
    EXPECT_EQ(ids(ranker.rank(matches, 2)), (std::vector<std::uint32_t>{t.proj, t.repo}));
}

// For any limit, the kept results are those of a plain stable sort by bucket, then score: on
// the serial road and, from `parallelThreshold` matches on, on the worker pool with the
// ancestor table.
TEST(Ranker, AgreesWithAStableSortForAnyLimit) {
    SmallIndex idx;
    std::mt19937 rng(7);
    std::vector<std::uint32_t> dirs{idx.add("", SmallIndex::none, SmallIndex::dir)};
    const char* names[] = {"src", "build", "x.app", ".cache", "Logs", "docs"};
    for (int i = 0; i < 400; ++i) {
        const auto parent = dirs[rng() % dirs.size()];
        const auto name = names[rng() % 6];
        RecordFlags flags = SmallIndex::dir;
        if (std::string_view(name) == "x.app") flags = SmallIndex::app;
        if (name[0] == '.') flags |= SmallIndex::hidden;
        dirs.push_back(idx.add(name, parent, flags));
    }
    std::vector<std::uint32_t> files;
    for (int i = 0; i < 3000; ++i)
        files.push_back(idx.add("f", dirs[rng() % dirs.size()]));
    // Not in the table: below a file, and without any parent.
    files.push_back(idx.add("inside a file", files.front()));
    files.push_back(idx.add("loose", SmallIndex::none));
    const auto store = idx.open();

    for (const std::size_t count : {std::size_t{3000}, Ranker::parallelThreshold + 5000}) {
        std::vector<Match> matches;
        for (std::size_t i = 0; i < count; ++i) {
            const auto id = i % 4 == 0 ? dirs[rng() % dirs.size()] : files[rng() % files.size()];
            matches.push_back(
                {id, static_cast<MatchQuality>(rng() % 5), static_cast<int>(rng() % 3)});
        }
        matches.push_back({9999999, MatchQuality::exact, 0}); // not a record: passed over
        Ranker ranker(store);
        struct Keyed {
            int bucket;
            std::int32_t score;
            Match match;
        };
        std::vector<Keyed> reference;
        for (const auto& m : matches) {
            if (m.id >= store->count()) continue;
            const bool app = (*store)[m.id].flags.contains(RecordFlags::isApp);
            const int q = rawValue(m.quality);
            reference.push_back({app && q < 3 ? 0 : q, ranker.score(m), m});
        }
        std::stable_sort(reference.begin(), reference.end(), [](const Keyed& x, const Keyed& y) {
            return x.bucket != y.bucket ? x.bucket < y.bucket : x.score > y.score;
        });
        for (std::int64_t limit : {1, 20, 200, 1024, 1025, 2999, 5000, 50000}) {
            Ranker fresh(store); // cold cache each time: ranking must not depend on cache state
            const auto got = fresh.rank(matches, limit);
            ASSERT_EQ(got.size(), std::min<std::size_t>(limit, reference.size()));
            for (std::size_t i = 0; i < got.size(); ++i) {
                ASSERT_EQ(got[i].match, reference[i].match)
                    << count << " matches, limit " << limit << " at " << i;
                ASSERT_EQ(got[i].score, reference[i].score);
            }
        }
    }
}

TEST(Ranker, LongChainsAreCut) {
    SmallIndex idx;
    std::vector<std::uint32_t> chain{idx.add("top.app", SmallIndex::none, SmallIndex::app)};
    for (int i = 1; i < 300; ++i)
        chain.push_back(idx.add(i == 100 ? "inner.app" : "d", chain.back(),
                                i == 100 ? SmallIndex::app : SmallIndex::dir));
    const auto deep = idx.add("f", chain[299]);
    const auto shallow = idx.add("g", chain[50]);
    // A cycle: two folders that are each other's parent.
    const auto c1 = idx.add("c1", SmallIndex::none, SmallIndex::dir);
    const auto c2 = idx.add("c2", c1, SmallIndex::dir);
    idx.builder.records[c1].parentID = c2;
    const auto inCycle = idx.add("h", c2);
    const auto store = idx.open();

    {
        Ranker ranker(store);
        // Depth stops 256 links above the parent: 257. The application 199 links up counts.
        EXPECT_EQ(ranker.score({deep, substring, 0}), -40000 - 2570);
        // The walk above cut the chain at chain[43] and cached it as depth 0; that stays.
        EXPECT_EQ(ranker.score({shallow, substring, 0}), -40000 - 80);
        EXPECT_LT(ranker.score({inCycle, substring, 0}), 0); // terminates
    }
    {
        // Once the upper chain is cached, the walk stops there and depth is counted in full.
        Ranker ranker(store);
        EXPECT_EQ(ranker.score({shallow, substring, 0}), -40000 - 510); // inside top.app
        EXPECT_EQ(ranker.score({deep, substring, 0}), -40000 - 3000);
    }
}

TEST(Ranker, ApplicationsBeyond256AncestorsAreNotSeen) {
    SmallIndex idx;
    std::vector<std::uint32_t> chain{idx.add("top.app", SmallIndex::none, SmallIndex::app)};
    for (int i = 1; i < 300; ++i)
        chain.push_back(idx.add("d", chain.back(), SmallIndex::dir));
    const auto deep = idx.add("f", chain[299]);   // top.app is 300 ancestors up
    const auto within = idx.add("g", chain[255]); // 256 ancestors up: the last one looked at
    const auto store = idx.open();
    Ranker ranker(store);
    EXPECT_EQ(ranker.score({deep, substring, 0}), -2570);
    EXPECT_EQ(ranker.score({within, substring, 0}), -40000 - 2130); // depth from the cut cache
    Ranker warm(store);
    EXPECT_EQ(warm.score({within, substring, 0}), -40000 - 2560);
    EXPECT_EQ(warm.score({deep, substring, 0}), -3000); // full depth via the cache, no app
}

} // namespace
} // namespace ulmaro
