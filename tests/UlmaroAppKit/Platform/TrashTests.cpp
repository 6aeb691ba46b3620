#include "GioTestEnvironment.h"
#include "UlmaroAppKit/Fakes/InMemoryPasteboard.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Platform/SystemResultActions.h"
#include "UlmaroAppKit/Platform/Trash.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;

// GLib reads XDG_DATA_HOME once per process, so every test here shares one home trash.
fs::path trashHome() {
    return test::GioTestEnvironment::shared().dataHome();
}

fs::path trashedFile(const std::string& name) {
    return trashHome() / "Trash" / "files" / name;
}

TEST(Trash, MovesFilesAndFoldersAndKeepsBothOfTwoEqualNames) {
    trashHome();
    test::TempDir work;
    std::ofstream(work / "note.txt") << "first";
    fs::create_directories(work / "folder" / "inside");
    ASSERT_TRUE(moveToTrash(work / "note.txt"));
    ASSERT_TRUE(moveToTrash(work / "folder"));
    std::ofstream(work / "note.txt") << "second";
    ASSERT_TRUE(moveToTrash(work / "note.txt"));
    EXPECT_FALSE(fs::exists(work / "note.txt"));
    EXPECT_FALSE(fs::exists(work / "folder"));
    EXPECT_TRUE(fs::is_directory(trashedFile("folder") / "inside"));
    int notes = 0;
    for (const auto& item : fs::directory_iterator(trashHome() / "Trash" / "files"))
        notes += item.path().filename().string().starts_with("note") ? 1 : 0;
    EXPECT_EQ(notes, 2);
}

TEST(Trash, AMissingPathIsNotMoved) {
    trashHome();
    test::TempDir work;
    EXPECT_FALSE(moveToTrash(work / "never-there"));
}

TEST(Trash, ANameThatIsNotUtf8KeepsItsBytes) {
    trashHome();
    test::TempDir work;
    const std::string name = "caf\xe9.txt";
    std::ofstream(work / name) << "latin-1";
    ASSERT_TRUE(moveToTrash(work / name));
    EXPECT_TRUE(fs::exists(trashedFile(name)));
    std::ifstream info(trashHome() / "Trash" / "info" / (name + ".trashinfo"));
    std::string text((std::istreambuf_iterator<char>(info)), {});
    EXPECT_NE(text.find("caf%E9.txt"), std::string::npos) << text;
}

TEST(Trash, TheResultActionTrashesRawBytesAndNeverDeletes) {
    trashHome();
    test::TempDir work;
    SystemResultActions actions(std::make_shared<InMemoryPasteboard>(),
                                std::make_shared<ManualSerialQueue>("q", QueueQuality::utility),
                                std::make_shared<ManualSerialQueue>("t", QueueQuality::utility));
    const std::string name = "r\xe9sum\xe9 -x.txt";
    const std::string path = (work / name).string();
    std::ofstream(path) << "kept";
    ASSERT_TRUE(actions.trash(path));
    EXPECT_FALSE(fs::exists(path));
    std::ifstream moved(trashedFile(name));
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(moved)), {}), "kept");
    EXPECT_FALSE(actions.trash(path));
    EXPECT_FALSE(actions.trash(""));
    EXPECT_FALSE(actions.trash(std::string("/tmp/a\0b", 8)));
}

} // namespace
} // namespace ulmaro
