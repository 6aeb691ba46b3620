#include "UlmaroAppKit/Indexing/WatchCheckpointStore.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace ulmaro {
namespace {

using test::TempDir;

void write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(WatchCheckpointStore, DefaultURLIsBesideTheIndex) {
    EXPECT_EQ(WatchCheckpointStore::defaultURL("/data/Ulmaro/index.bin"),
              "/data/Ulmaro/watch-checkpoint.json");
    EXPECT_EQ(WatchCheckpointStore::defaultURL("index.bin"), "watch-checkpoint.json");
}

TEST(WatchCheckpointStore, LoadsOnlyBothMembersOfTheRightTypes) {
    TempDir dir;
    struct Case {
        const char* text;
        std::optional<WatchCheckpoint> expected;
    };
    const std::vector<Case> cases = {
        {R"({"eventID":42,"deviceUUID":"A-B"})", WatchCheckpoint{42, "A-B"}},
        {R"({ "deviceUUID" : "A-B", "extra": [1], "eventID" : 42 })", WatchCheckpoint{42, "A-B"}},
        {R"({"eventID":18446744073709551615,"deviceUUID":"x"})",
         WatchCheckpoint{18446744073709551615ull, "x"}},
        {R"({"eventID":42})", std::nullopt},
        {R"({"deviceUUID":"A-B"})", std::nullopt},
        {R"({"eventID":"42","deviceUUID":"A-B"})", std::nullopt},
        {R"({"eventID":-1,"deviceUUID":"A-B"})", std::nullopt},
        {R"({"eventID":4.5,"deviceUUID":"A-B"})", std::nullopt},
        {R"({"eventID":18446744073709551616,"deviceUUID":"x"})", std::nullopt},
        {R"({"eventID":42,"deviceUUID":null})", std::nullopt},
        {R"([42,"A-B"])", std::nullopt},
        {R"({"eventID":42,"deviceUUID":"A-B")", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        write(dir / "watch-checkpoint.json", c.text);
        EXPECT_EQ(WatchCheckpointStore::load(dir / "watch-checkpoint.json"), c.expected) << c.text;
    }
}

TEST(WatchCheckpointStore, RefusesWhatIsNotASmallRegularFile) {
    TempDir dir;
    EXPECT_EQ(WatchCheckpointStore::load(dir / "missing.json"), std::nullopt);
    std::filesystem::create_directory(dir / "folder.json");
    EXPECT_EQ(WatchCheckpointStore::load(dir / "folder.json"), std::nullopt);
    ASSERT_EQ(::mkfifo((dir / "fifo.json").c_str(), 0600), 0);
    EXPECT_EQ(WatchCheckpointStore::load(dir / "fifo.json"), std::nullopt); // and does not block
    std::string padded =
        R"({"eventID":1,"deviceUUID":"x","pad":")" + std::string(70000, 'p') + "\"}";
    write(dir / "big.json", padded);
    EXPECT_EQ(WatchCheckpointStore::load(dir / "big.json"), std::nullopt);
}

TEST(WatchCheckpointStore, SavesCompactlyIntoANewFolderAndRoundTrips) {
    TempDir dir;
    const auto path = dir / "new" / "folder" / "watch-checkpoint.json";
    const WatchCheckpoint checkpoint{18446744073709551615ull, "0123-ABCD"};
    WatchCheckpointStore::save(checkpoint, path);
    EXPECT_EQ(read(path), R"({"eventID":18446744073709551615,"deviceUUID":"0123-ABCD"})");
    EXPECT_EQ(WatchCheckpointStore::load(path), checkpoint);
}

TEST(WatchCheckpointStore, AFailedSaveKeepsThePreviousFile) {
    TempDir dir;
    const auto path = dir / "watch-checkpoint.json";
    WatchCheckpointStore::save({7, "good"}, path);
    WatchCheckpointStore::save({8, "not \xff UTF-8"}, path); // JSON cannot carry it
    EXPECT_EQ(WatchCheckpointStore::load(path), (WatchCheckpoint{7, "good"}));
    WatchCheckpointStore::save({9, "x"}, dir / "watch-checkpoint.json" / "below-a-file");
    EXPECT_EQ(WatchCheckpointStore::load(path), (WatchCheckpoint{7, "good"}));
}

TEST(WatchCheckpointStore, ResumesOnlyOnTheSameDevice) {
    const WatchCheckpoint checkpoint{99, "abc-DEF"};
    EXPECT_EQ(WatchCheckpointStore::resumeEventID(checkpoint, std::string("abc-DEF")), 99u);
    EXPECT_EQ(WatchCheckpointStore::resumeEventID(checkpoint, std::string("ABC-DEF")),
              std::nullopt);
    EXPECT_EQ(WatchCheckpointStore::resumeEventID(checkpoint, std::nullopt), std::nullopt);
    EXPECT_EQ(WatchCheckpointStore::resumeEventID(std::nullopt, std::string("abc-DEF")),
              std::nullopt);
}

} // namespace
} // namespace ulmaro
