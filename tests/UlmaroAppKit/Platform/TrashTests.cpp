#include "UlmaroAppKit/Platform/Trash.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;

// GLib reads XDG_DATA_HOME once per process, so every test here shares one home trash.
const fs::path& trashHome() {
    static test::TempDir* dir = [] {
        auto* d = new test::TempDir();
        ::setenv("XDG_DATA_HOME", (d->path() / "data").c_str(), 1);
        fs::create_directories(d->path() / "data");
        return d;
    }();
    static const fs::path home = dir->path() / "data";
    return home;
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

} // namespace
} // namespace ulmaro
