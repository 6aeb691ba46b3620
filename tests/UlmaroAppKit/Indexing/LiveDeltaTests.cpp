#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Indexing/LiveDelta.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/PathResolver.h"
#include "support/TempDir.h"

#include <array>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <latch>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;

struct Row {
    std::uint32_t parent;
    RecordFlags flags;
    std::uint64_t size;
    std::uint32_t mtime;
};

// Every record of a store by path; a path that stands twice fails the test.
std::map<std::string, Row> rows(const IndexStore& store) {
    std::map<std::string, Row> out;
    PathResolver resolver(store);
    for (std::uint32_t id = 0; id < store.count(); ++id) {
        const FileRecord& r = store[id];
        auto path = resolver.rawAbsolutePath(id);
        EXPECT_TRUE(path.has_value());
        EXPECT_TRUE(out.emplace(*path, Row{r.parentID, r.flags, r.size, r.mtime}).second)
            << *path << " stands twice";
    }
    return out;
}

class LiveDeltaTest : public ::testing::Test {
protected:
    std::string file(const std::string& relative, std::string_view contents = "x") {
        fs::path path = dir / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << contents;
        return path.string();
    }
    std::string folder(const std::string& relative) {
        fs::create_directories(dir / relative);
        return (dir / relative).string();
    }
    std::string missing(const std::string& relative) { return (dir / relative).string(); }

    std::unique_ptr<LiveDelta> makeDelta(std::size_t cap = 20000) {
        return std::make_unique<LiveDelta>(dir / "index.bin", cap, queue, mainQueue);
    }
    // Runs the build queue, then the main queue, as the application's threads would.
    void settle() {
        queue->drain();
        mainQueue.drain();
    }

    test::TempDir dir;
    ManualMainQueue mainQueue;
    std::shared_ptr<ManualSerialQueue> queue =
        std::make_shared<ManualSerialQueue>("live-delta", QueueQuality::utility);
};

TEST_F(LiveDeltaTest, StartsEmptyBesideTheIndex) {
    auto delta = makeDelta();
    EXPECT_TRUE(delta->isEmpty());
    EXPECT_EQ(delta->nextSequence(), 1u);
    EXPECT_EQ(delta->rebuildGeneration(), 0u);
    EXPECT_EQ(delta->store(), nullptr);
    EXPECT_EQ(delta->deltaPath(), dir / "delta.bin");
}

TEST_F(LiveDeltaTest, ApplyingKeepsEachPathInOneMapWithItsLatestNumber) {
    auto delta = makeDelta();
    const std::string a = file("a.txt"), b = file("b.txt");
    delta->apply(std::vector{a, b, a});
    EXPECT_EQ(delta->changed(), (LiveDelta::Entries{{a, 3}, {b, 2}}));
    EXPECT_TRUE(delta->tombstones().empty());
    EXPECT_EQ(delta->nextSequence(), 4u);

    fs::remove(a);
    delta->apply(std::vector{a});
    EXPECT_EQ(delta->changed(), (LiveDelta::Entries{{b, 2}}));
    EXPECT_EQ(delta->tombstones(), (LiveDelta::Entries{{a, 4}}));
    EXPECT_EQ(delta->removed(), (std::unordered_set<std::string>{a}));

    file("a.txt");
    delta->apply(std::vector{a});
    EXPECT_EQ(delta->changed(), (LiveDelta::Entries{{a, 5}, {b, 2}}));
    EXPECT_TRUE(delta->removed().empty());
    EXPECT_FALSE(delta->isEmpty());
}

TEST_F(LiveDeltaTest, LinksExistWhenTheLinkItselfDoes) {
    auto delta = makeDelta();
    const std::string dangling = missing("dangling");
    ASSERT_EQ(::symlink((dir / "nowhere").c_str(), dangling.c_str()), 0);
    delta->apply(std::vector{dangling});
    EXPECT_TRUE(delta->changed().contains(dangling));
    EXPECT_TRUE(delta->removed().empty());
}

TEST_F(LiveDeltaTest, APathTheKernelCannotJudgeNeitherShowsNorHides) {
    auto delta = makeDelta();
    const std::string present = file("p");
    const std::string tooLong = "/" + std::string(5000, 'a');
    std::string withNul = present;
    withNul += '\0';
    withNul += "x";
    delta->apply(std::vector{present});
    delta->apply(std::vector{tooLong, withNul});
    EXPECT_TRUE(delta->removed().empty());
    EXPECT_EQ(delta->changed(), (LiveDelta::Entries{{present, 1}}));
    EXPECT_EQ(delta->nextSequence(), 4u);
}

TEST_F(LiveDeltaTest, TrimKeepsTheNewestThreeQuartersOfTheCapAndEveryTombstone) {
    auto delta = makeDelta(4);
    const std::string gone = missing("gone");
    delta->apply(std::vector{gone});
    std::vector<std::string> five;
    for (int i = 0; i < 5; ++i)
        five.push_back(file(std::to_string(i) + ".f"));
    delta->apply(five);
    EXPECT_EQ(delta->changed(), (LiveDelta::Entries{{five[2], 4}, {five[3], 5}, {five[4], 6}}));
    EXPECT_EQ(delta->tombstones(), (LiveDelta::Entries{{gone, 1}}));

    // At the cap nothing is cut; one past it cuts again.
    delta->apply(std::vector{five[0]});
    EXPECT_EQ(delta->changed().size(), 4u);
    delta->apply(std::vector{five[1]});
    EXPECT_EQ(delta->changed(), (LiveDelta::Entries{{five[4], 6}, {five[0], 7}, {five[1], 8}}));
}

TEST_F(LiveDeltaTest, ClearBeforeKeepsTheGivenNumberAndDropsOlder) {
    auto delta = makeDelta();
    const std::string a = file("a"), b = missing("b"), c = file("c"), d = missing("d");
    delta->apply(std::vector{a, b, c, d}); // 1, 2, 3, 4
    delta->clear(3, false);
    EXPECT_EQ(delta->changed(), (LiveDelta::Entries{{c, 3}}));
    EXPECT_EQ(delta->tombstones(), (LiveDelta::Entries{{d, 4}}));
    EXPECT_EQ(delta->nextSequence(), 5u);
    EXPECT_EQ(delta->store(), nullptr);

    delta->clear(4, true);
    EXPECT_TRUE(delta->changed().empty());
    EXPECT_EQ(delta->tombstones(), (LiveDelta::Entries{{d, 4}}));
    EXPECT_FALSE(fs::exists(delta->deltaPath()));
}

TEST_F(LiveDeltaTest, ClearForgetsEverythingAndDeletesTheFile) {
    auto delta = makeDelta();
    delta->apply(std::vector{file("a"), missing("b")});
    delta->rebuild();
    ASSERT_NE(delta->store(), nullptr);
    ASSERT_TRUE(fs::exists(delta->deltaPath()));
    delta->clear();
    EXPECT_TRUE(delta->isEmpty());
    EXPECT_EQ(delta->store(), nullptr);
    EXPECT_FALSE(fs::exists(delta->deltaPath()));
    EXPECT_EQ(delta->nextSequence(), 3u);
    delta->clear(); // no file to delete: nothing to report
}

TEST_F(LiveDeltaTest, BuildGivesEachAncestorOnceBeforeItsDescendants) {
    auto delta = makeDelta();
    const std::string c = file("a/b/c.txt", "12345");
    ASSERT_EQ(::utimensat(AT_FDCWD, c.c_str(),
                          std::array{timespec{0, UTIME_OMIT}, timespec{1'700'000'000, 0}}.data(),
                          0),
              0);
    delta->apply(std::vector{c});
    delta->rebuild();
    ASSERT_NE(delta->store(), nullptr);
    const IndexStore& store = *delta->store();

    // The root, each folder from "/" down to c.txt's own, and c.txt: one record each.
    std::vector<std::string> components;
    for (const auto& part : fs::path(c))
        if (part != "/") components.push_back(part.string());
    ASSERT_EQ(store.count(), components.size() + 1);
    EXPECT_EQ(store.nameBytes(0), "");
    EXPECT_EQ(store[0].parentID, FileRecord::rootParentID);
    for (std::uint32_t id = 1; id < store.count(); ++id) {
        EXPECT_EQ(store[id].parentID, id - 1);
        EXPECT_EQ(store.nameBytes(id), components[id - 1]);
        EXPECT_EQ(store[id].volumeIndex, 0);
    }
    for (std::uint32_t id = 0; id + 1 < store.count(); ++id) {
        EXPECT_EQ(store[id].flags, RecordFlags::isDirectory) << id;
        EXPECT_EQ(store[id].mtime, 0u);
    }
    const FileRecord& leaf = store[std::uint32_t(store.count() - 1)];
    EXPECT_EQ(leaf.flags, RecordFlags::attrsFilled);
    EXPECT_EQ(leaf.size, 5u);
    EXPECT_EQ(leaf.mtime, 1'700'000'000u);
    ASSERT_EQ(store.header().volumes.size(), 1u);
    EXPECT_EQ(store.header().volumes[0], (VolumeEntry{"delta", "/", 0, true}));
}

TEST_F(LiveDeltaTest, BuildFlagsApplicationsFoldersAndLinksByTheEntryItself) {
    const std::string appFolder = folder("Tool.app");
    const std::string appFile = file("notes.app", "abc");
    const std::string launcher = file("applications/editor.desktop");
    const std::string plain = file("plain.txt");
    const std::string linkToFolder = missing("shortcut");
    ASSERT_EQ(::symlink(appFolder.c_str(), linkToFolder.c_str()), 0);
    const std::string dangling = missing("dangling");
    ASSERT_EQ(::symlink((dir / "nowhere").c_str(), dangling.c_str()), 0);

    LiveDelta::Entries entries;
    for (const auto& path : {appFolder, appFile, launcher, plain, linkToFolder, dangling})
        entries.emplace(path, 1);
    auto store = LiveDelta::build(entries, dir / "delta.bin");
    ASSERT_NE(store, nullptr);
    auto all = rows(*store);
    const RecordFlags filled = RecordFlags::attrsFilled;
    EXPECT_EQ(all.at(appFolder).flags, RecordFlags::isDirectory | RecordFlags::isApp | filled);
    EXPECT_EQ(all.at(appFolder).size, 0u);
    EXPECT_EQ(all.at(appFile).flags, RecordFlags::isApp | filled);
    EXPECT_EQ(all.at(appFile).size, 3u);
    EXPECT_EQ(all.at(launcher).flags, RecordFlags::isApp | filled);
    EXPECT_EQ(all.at(plain).flags, filled);
    // Links are links: never the folder they point to, sized by their own target text.
    EXPECT_EQ(all.at(linkToFolder).flags, RecordFlags::isSymlink | filled);
    EXPECT_EQ(all.at(linkToFolder).size, appFolder.size());
    EXPECT_EQ(all.at(dangling).flags, RecordFlags::isSymlink | filled);
    // The folder above the launcher is only an ancestor here: a plain folder record.
    EXPECT_EQ(all.at(folder("applications")).flags, RecordFlags::isDirectory);
}

TEST_F(LiveDeltaTest, AChangedFolderIsTheParentOfChangedPathsBelowIt) {
    const std::string top = folder("top");
    const std::string inner = file("top/inner.txt");
    const std::string sibling = file("top sibling");
    LiveDelta::Entries entries{{inner, 1}, {top, 2}, {sibling, 3}};
    auto store = LiveDelta::build(entries, dir / "delta.bin");
    ASSERT_NE(store, nullptr);
    auto all = rows(*store); // fails on a path standing twice
    EXPECT_EQ(all.at(top).flags, RecordFlags::isDirectory | RecordFlags::attrsFilled);
    PathResolver resolver(*store);
    std::uint32_t innerID = 0, topID = 0;
    for (std::uint32_t id = 0; id < store->count(); ++id) {
        if (resolver.rawAbsolutePath(id) == inner) innerID = id;
        if (resolver.rawAbsolutePath(id) == top) topID = id;
    }
    EXPECT_EQ((*store)[innerID].parentID, topID);
}

TEST_F(LiveDeltaTest, BuildSkipsVanishedPathsAndWritesNothingWhenNoneIsLeft) {
    const std::string kept = file("kept.txt"), gone = file("gone.txt");
    LiveDelta::Entries entries{{kept, 1}, {gone, 2}};
    fs::remove(gone);
    auto store = LiveDelta::build(entries, dir / "delta.bin");
    ASSERT_NE(store, nullptr);
    EXPECT_TRUE(rows(*store).contains(kept));
    EXPECT_FALSE(rows(*store).contains(gone));

    // All vanished: no store, and the older file stays as it was.
    const auto before = fs::last_write_time(dir / "delta.bin");
    fs::remove(kept);
    EXPECT_EQ(LiveDelta::build(entries, dir / "delta.bin"), nullptr);
    ASSERT_TRUE(fs::exists(dir / "delta.bin"));
    EXPECT_EQ(fs::last_write_time(dir / "delta.bin"), before);
    EXPECT_NE(IndexStore::open(dir / "delta.bin"), nullptr);
}

TEST_F(LiveDeltaTest, AFailedWriteGivesNoStore) {
    LiveDelta::Entries entries{{file("a"), 1}};
    // The destination's folder cannot be made: a file stands where it would go.
    file("blocker");
    EXPECT_EQ(LiveDelta::build(entries, dir / "blocker" / "delta.bin"), nullptr);
}

TEST_F(LiveDeltaTest, RebuildWithOnlyTombstonesDeletesTheFile) {
    auto delta = makeDelta();
    const std::string a = file("a");
    delta->apply(std::vector{a});
    delta->rebuild();
    ASSERT_TRUE(fs::exists(delta->deltaPath()));
    fs::remove(a);
    delta->apply(std::vector{a});
    delta->rebuild();
    EXPECT_EQ(delta->store(), nullptr);
    EXPECT_FALSE(fs::exists(delta->deltaPath()));
    EXPECT_EQ(delta->removed(), (std::unordered_set<std::string>{a}));
}

TEST_F(LiveDeltaTest, AHeldStoreKeepsItsMappingAcrossRebuilds) {
    auto delta = makeDelta();
    const std::string a = file("a"), b = file("b");
    delta->apply(std::vector{a});
    delta->rebuild();
    auto held = delta->store();
    delta->apply(std::vector{b});
    delta->rebuild();
    delta->clear();
    ASSERT_NE(held, nullptr);
    EXPECT_TRUE(rows(*held).contains(a));
    EXPECT_FALSE(rows(*held).contains(b));
}

TEST_F(LiveDeltaTest, OnlyTheNewestBackgroundBuildInstalls) {
    auto delta = makeDelta();
    const std::string a = file("a"), b = file("b");
    std::vector<std::string> done;
    delta->apply(std::vector{a});
    delta->rebuildInBackground([&] { done.push_back("first"); });
    delta->apply(std::vector{b});
    delta->rebuildInBackground([&] { done.push_back("second"); });
    EXPECT_EQ(delta->rebuildGeneration(), 2u);
    EXPECT_EQ(delta->store(), nullptr);
    settle();
    EXPECT_EQ(done, std::vector<std::string>{"second"});
    ASSERT_NE(delta->store(), nullptr);
    EXPECT_TRUE(rows(*delta->store()).contains(b));
}

TEST_F(LiveDeltaTest, AnEmptyRebuildCompletesAtOnceAndVoidsABuildInFlight) {
    auto delta = makeDelta();
    const std::string a = file("a");
    delta->apply(std::vector{a});
    delta->rebuild();
    ASSERT_TRUE(fs::exists(delta->deltaPath()));

    // A real thread works the queue, held at a latch while the build waits behind it.
    std::latch release(1);
    queue->async([&] { release.wait(); });
    std::vector<std::string> done;
    delta->rebuildInBackground([&] { done.push_back("in flight"); });
    std::thread worker([&] { queue->drain(); });

    // A full scan took every change: the delta empties.
    delta->clear(delta->nextSequence(), false);
    delta->rebuildInBackground([&] { done.push_back("empty"); });
    EXPECT_EQ(done, std::vector<std::string>{"empty"});
    EXPECT_EQ(delta->store(), nullptr);
    EXPECT_FALSE(fs::exists(delta->deltaPath()));

    release.count_down();
    worker.join();
    mainQueue.drain();
    EXPECT_EQ(done, std::vector<std::string>{"empty"});
    EXPECT_EQ(delta->store(), nullptr);
}

TEST_F(LiveDeltaTest, ASynchronousRebuildOrClearVoidsABuildInFlight) {
    for (bool clearing : {false, true}) {
        auto delta = makeDelta();
        const std::string a = file("a"), b = file("b");
        delta->apply(std::vector{a});
        bool completed = false;
        delta->rebuildInBackground([&] { completed = true; });
        delta->apply(std::vector{b});
        if (clearing)
            delta->clear();
        else
            delta->rebuild();
        settle();
        EXPECT_FALSE(completed) << clearing;
        if (clearing) {
            EXPECT_EQ(delta->store(), nullptr);
        } else {
            ASSERT_NE(delta->store(), nullptr);
            EXPECT_TRUE(rows(*delta->store()).contains(b));
        }
    }
}

TEST_F(LiveDeltaTest, ABuildFinishingAfterTheDeltaIsGoneInstallsNothing) {
    auto delta = makeDelta();
    delta->apply(std::vector{file("a")});
    bool completed = false;
    delta->rebuildInBackground([&] { completed = true; });
    delta.reset();
    settle();
    EXPECT_FALSE(completed);
}

} // namespace
} // namespace ulmaro
