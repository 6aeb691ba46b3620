#include "UlmaroAppKit/Fakes/ManualMainQueue.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Shell/ContentIndexUpkeep.h"
#include "UlmaroKit/Content/ContentIndex.h"
#include "support/TempDir.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using ::testing::UnorderedElementsAreArray;

void write(const fs::path& path, std::string_view text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Content folders in a temporary home, a hand-drained main queue and work queue, and an
// extractor that reads the file as it is.
struct Fixture {
    TempDir dir;
    fs::path docs = dir / "Documents";
    fs::path file = dir / "data" / "content.bin";
    std::vector<std::string> folders{docs.string()};
    std::vector<std::string> readable{docs.string()};
    ManualMainQueue main;
    std::shared_ptr<ManualSerialQueue> work =
        std::make_shared<ManualSerialQueue>("utility", QueueQuality::utility);
    std::shared_ptr<ContentIndexHolder> holder = std::make_shared<ContentIndexHolder>();
    std::vector<bool> offers;
    int extractions = 0;
    std::unique_ptr<ContentIndexUpkeep> upkeep;

    Fixture() {
        write(docs / "a.txt", "alpha");
        write(docs / "b.md", "beta");
        upkeep = std::make_unique<ContentIndexUpkeep>(
            file, ContentIndexUpkeep::Dependencies{
                      main, work, holder, [this] { return folders; }, [this] { return readable; },
                      [this](const std::string& path) -> std::optional<std::string> {
                          ++extractions;
                          std::ifstream in(path, std::ios::binary);
                          if (!in) return std::nullopt;
                          std::stringstream text;
                          text << in.rdbuf();
                          return text.str();
                      }});
        upkeep->onHasContentIndex = [this](bool has) { offers.push_back(has); };
    }

    void settle() {
        while (work->drain() + main.drain() > 0) {
        }
    }
    void build() {
        upkeep->buildIfNeeded();
        settle();
    }
    std::vector<std::string> stored() const {
        std::vector<std::string> paths;
        if (auto index = holder->current())
            for (const auto& d : index->documents())
                paths.push_back(d.path);
        return paths;
    }
    std::string at(std::string_view relative) const { return (docs / relative).string(); }
};

TEST(ContentIndexUpkeep, WhereTheFileLives) {
    const fs::path defaultIndex = "/home/a/.local/share/Ulmaro/index.bin";
    EXPECT_EQ(ContentIndexUpkeep::contentIndexURL(defaultIndex, defaultIndex),
              "/home/a/.local/share/Ulmaro/content.bin");
    EXPECT_EQ(ContentIndexUpkeep::contentIndexURL("/srv/x.bin", defaultIndex),
              "/srv/x.bin.content");
}

TEST(ContentIndexUpkeep, BuildsWhenTheReadableFoldersChangeAndLoadsWhatWasWritten) {
    Fixture f;
    f.build();
    EXPECT_THAT(f.stored(), UnorderedElementsAreArray({f.at("a.txt"), f.at("b.md")}));
    EXPECT_EQ(f.offers.back(), true);
    ASSERT_TRUE(fs::exists(f.file));

    // The same folders with an index held: nothing to do.
    f.upkeep->buildIfNeeded();
    EXPECT_EQ(f.work->pending(), 0u);

    // A restart reads the file back.
    Fixture again;
    fs::create_directories(again.file.parent_path());
    fs::copy_file(f.file, again.file);
    again.upkeep->loadFromDisk();
    EXPECT_EQ(again.stored().size(), 2u);

    // Folders chosen but none readable: nothing built, nothing deleted, the index stays.
    f.readable.clear();
    f.build();
    EXPECT_EQ(f.stored().size(), 2u);
    EXPECT_TRUE(fs::exists(f.file));

    // No folders at all: the file goes and the holder empties.
    f.folders.clear();
    f.build();
    EXPECT_FALSE(fs::exists(f.file));
    EXPECT_EQ(f.holder->current(), nullptr);
    EXPECT_EQ(f.offers.back(), false);
}

TEST(ContentIndexUpkeep, ChangedDocumentsInsideTheFolders) {
    Fixture f;
    f.build();
    write(f.docs / "NOTES.TXT", "upper");
    write(f.docs / "photo.png", "png");
    write(f.dir / "Documents2" / "c.txt", "sibling");
    f.upkeep->updateForChanged(
        {f.at("NOTES.TXT"), f.at("photo.png"), (f.dir / "Documents2" / "c.txt").string()});
    f.settle();
    EXPECT_THAT(f.stored(),
                UnorderedElementsAreArray({f.at("a.txt"), f.at("b.md"), f.at("NOTES.TXT")}));

    // A stored file deleted: out, and the file rewritten. One never stored: nothing written.
    fs::remove(f.docs / "a.txt");
    fs::remove(f.file);
    f.upkeep->updateForChanged({f.at("a.txt")});
    f.settle();
    EXPECT_THAT(f.stored(), UnorderedElementsAreArray({f.at("b.md"), f.at("NOTES.TXT")}));
    ASSERT_TRUE(fs::exists(f.file));
    fs::remove(f.file);
    f.upkeep->updateForChanged({f.at("never.txt")});
    f.settle();
    EXPECT_FALSE(fs::exists(f.file));

    // A report during an update is applied right after it.
    write(f.docs / "one.txt", "1");
    write(f.docs / "two.txt", "2");
    f.upkeep->updateForChanged({f.at("one.txt")});
    ASSERT_TRUE(f.upkeep->isUpdating());
    f.upkeep->updateForChanged({f.at("two.txt")});
    EXPECT_EQ(f.work->pending(), 1u);
    f.settle();
    EXPECT_EQ(f.stored().size(), 4u);
}

// A folder trashed or moved away is reported as the folder alone: its documents go too.
TEST(ContentIndexUpkeep, AFolderGoneTakesItsDocumentsWithIt) {
    Fixture f;
    write(f.docs / "project" / "plan.md", "plan");
    write(f.docs / "project" / "deep" / "x.txt", "x");
    write(f.docs / "projects.txt", "kept: not below the folder");
    f.build();
    ASSERT_EQ(f.stored().size(), 5u);
    fs::rename(f.docs / "project", f.dir / "Trash-project");
    f.upkeep->updateForChanged({f.at("project")});
    f.settle();
    EXPECT_THAT(f.stored(),
                UnorderedElementsAreArray({f.at("a.txt"), f.at("b.md"), f.at("projects.txt")}));
}

// A build and an update never run at once: each would install its own copy over the other.
TEST(ContentIndexUpkeep, BuildsAndUpdatesTakeTurns) {
    Fixture f;
    f.build();
    // An update asked for during a build waits for the build's index.
    f.readable.push_back((f.dir / "More").string());
    write(f.dir / "More" / "m.txt", "more");
    f.upkeep->buildIfNeeded();
    ASSERT_TRUE(f.upkeep->isBuilding());
    write(f.docs / "c.txt", "gamma");
    f.upkeep->updateForChanged({f.at("c.txt")});
    EXPECT_FALSE(f.upkeep->isUpdating());
    f.settle();
    EXPECT_THAT(f.stored(), UnorderedElementsAreArray({f.at("a.txt"), f.at("b.md"), f.at("c.txt"),
                                                       (f.dir / "More" / "m.txt").string()}));

    // A build wanted during an update starts after it, over the update's index.
    write(f.docs / "d.txt", "delta");
    f.upkeep->updateForChanged({f.at("d.txt")});
    ASSERT_TRUE(f.upkeep->isUpdating());
    f.readable.pop_back();
    f.upkeep->buildIfNeeded();
    EXPECT_FALSE(f.upkeep->isBuilding());
    f.settle();
    EXPECT_THAT(f.stored(), UnorderedElementsAreArray(
                                {f.at("a.txt"), f.at("b.md"), f.at("c.txt"), f.at("d.txt")}));
}

// Work that ends after searching this computer was switched off installs nothing, so the
// panel never offers a contents search the engine will not serve.
// The user removes every content folder while a build or an update runs: no content index
// is left behind, in memory or on disk, and stale work never writes "content.bin".
TEST(ContentIndexUpkeep, RemovingEveryFolderDuringWorkLeavesNoContentIndex) {
    for (const bool updating : {false, true}) {
        SCOPED_TRACE(updating ? "during an update" : "during the first build");
        Fixture f;
        if (updating) {
            f.build();
            ASSERT_TRUE(fs::exists(f.file));
            write(f.docs / "c.txt", "gamma");
            f.upkeep->updateForChanged({f.at("c.txt")});
        } else {
            f.upkeep->buildIfNeeded();
        }
        ASSERT_EQ(f.work->pending(), 1u);
        f.folders.clear();
        f.readable.clear();
        f.upkeep->buildIfNeeded();
        EXPECT_FALSE(fs::exists(f.file));
        ASSERT_TRUE(f.work->runOne()); // the work in flight ends
        EXPECT_FALSE(fs::exists(f.file)) << "stale work wrote content.bin";
        f.settle();
        EXPECT_FALSE(fs::exists(f.file));
        EXPECT_EQ(f.holder->current(), nullptr);
        EXPECT_FALSE(f.upkeep->isBuilding());
        EXPECT_FALSE(f.upkeep->isUpdating());
        EXPECT_EQ(f.offers.back(), false);
    }
    // Switched off while the build runs: that build writes nothing either.
    Fixture f;
    f.upkeep->buildIfNeeded();
    f.upkeep->disable();
    f.settle();
    EXPECT_FALSE(fs::exists(f.file));
}

TEST(ContentIndexUpkeep, WorkEndingAfterDisableInstallsNothing) {
    Fixture f;
    f.upkeep->buildIfNeeded();
    f.upkeep->disable();
    f.settle();
    EXPECT_EQ(f.holder->current(), nullptr);
    EXPECT_FALSE(f.upkeep->isBuilding());
    EXPECT_EQ(f.offers.back(), false);

    f.build(); // switched on again
    write(f.docs / "c.txt", "gamma");
    f.upkeep->updateForChanged({f.at("c.txt")});
    f.upkeep->disable();
    f.settle();
    EXPECT_EQ(f.holder->current(), nullptr);
    EXPECT_FALSE(f.upkeep->isUpdating());
    EXPECT_EQ(f.offers.back(), false);
}

} // namespace
} // namespace ulmaro
