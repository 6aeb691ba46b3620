#include "UlmaroKit/Platform/AtomicFile.h"
#include "UlmaroKit/Platform/DataLocations.h"
#include "UlmaroKit/Platform/MappedFile.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <system_error>
#include <vector>

namespace ulmaro {
namespace {

using test::ScopedEnv;
using test::TempDir;

std::string readAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

int errorOf(const std::filesystem::path& p, MappedFile::Options o) {
    try {
        MappedFile::open(p, o);
    } catch (const std::system_error& e) {
        return e.code().value();
    }
    return 0;
}

TEST(MappedFile, MapsRegularFilesAndRefusesTheRest) {
    TempDir dir;
    writeFileAtomically(dir / "a.txt", "hello");
    writeFileAtomically(dir / "empty", "");
    std::filesystem::create_symlink(dir / "a.txt", dir / "link.txt");
    ASSERT_EQ(::mkfifo((dir / "x.txt").c_str(), 0600), 0);

    auto file = MappedFile::open(dir / "a.txt");
    EXPECT_EQ(file.view(), "hello");
    EXPECT_TRUE(MappedFile::open(dir / "empty").empty());

    MappedFile::Options strict;
    strict.followSymlinks = false;
    EXPECT_EQ(errorOf(dir / "link.txt", strict), ELOOP);
    EXPECT_EQ(errorOf(dir / "link.txt", {}), 0);
    EXPECT_EQ(errorOf(dir / "x.txt", {}), EINVAL); // opened without blocking, then refused
    EXPECT_EQ(errorOf(dir.path(), {}), EINVAL);
    EXPECT_EQ(errorOf(dir / "missing", {}), ENOENT);
    MappedFile::Options capped;
    capped.maxSize = 4;
    EXPECT_EQ(errorOf(dir / "a.txt", capped), EFBIG);
    EXPECT_FALSE(MappedFile::tryOpen(dir / "missing", {}).has_value());

    MappedFile moved = std::move(file);
    EXPECT_EQ(moved.view(), "hello");
    EXPECT_TRUE(file.empty());
}

TEST(AtomicFile, ReplacesWholeOrNotAtAll) {
    TempDir dir;
    auto dest = dir / "deep" / "folder" / "f.bin";
    writeFileAtomically(dest, "first");
    EXPECT_EQ(readAll(dest), "first");
    auto mapped = MappedFile::open(dest);
    writeFileAtomically(dest, "second version");
    EXPECT_EQ(readAll(dest), "second version");
    EXPECT_EQ(mapped.view(), "first"); // the old mapping keeps the old contents

    {
        AtomicFileWriter writer(dest);
        writer.write(std::string_view("abandoned"));
        EXPECT_TRUE(std::filesystem::exists(writer.temporaryPath()));
    }
    EXPECT_EQ(readAll(dest), "second version");
    EXPECT_FALSE(std::filesystem::exists(dir / "deep" / "folder" / "f.bin.tmp"));

    // Without the flushes the replacement is still one step, and leaves no sibling.
    auto unsynced = [](const std::filesystem::path& to, std::string_view text) {
        AtomicFileWriter writer(to, ".tmp", Durability::unsynced);
        writer.write(text);
        writer.commit();
    };
    auto held = MappedFile::open(dest);
    unsynced(dest, "third");
    EXPECT_EQ(readAll(dest), "third");
    EXPECT_EQ(held.view(), "second version");
    EXPECT_FALSE(std::filesystem::exists(dir / "deep" / "folder" / "f.bin.tmp"));
    unsynced(dir / "new.bin", "fresh");
    EXPECT_EQ(readAll(dir / "new.bin"), "fresh");
    // A folder in the way is refused, as with the flushes, and stays where it was.
    std::filesystem::create_directories(dir / "taken" / "inner");
    EXPECT_THROW(unsynced(dir / "taken", "x"), std::system_error);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "taken" / "inner"));
    EXPECT_FALSE(std::filesystem::exists(dir / "taken.tmp"));
}

TEST(AtomicFile, ConcurrentWritersEachInstallAWholeFile) {
    TempDir dir;
    auto dest = dir / "index.bin";
    const std::string longer(64 * 1024, 'a');
    const std::string shorter(100, 'b');
    for (Durability durability : {Durability::synced, Durability::unsynced}) {
        // The second writer opens while the first is half written; with a shared sibling
        // the first's tail would survive under the second's head.
        AtomicFileWriter first(dest, ".tmp", durability);
        first.write(std::string_view(longer).substr(0, 32 * 1024));
        AtomicFileWriter second(dest, ".tmp", durability);
        EXPECT_NE(first.temporaryPath(), second.temporaryPath());
        EXPECT_EQ(first.temporaryPath().parent_path(), dest.parent_path());
        second.write(shorter);
        first.write(std::string_view(longer).substr(32 * 1024));
        second.commit();
        EXPECT_EQ(readAll(dest), shorter);
        first.commit();
        EXPECT_EQ(readAll(dest), longer); // the last rename wins, whole
    }
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"index.bin"});
}

// A crash leaves "<file>.tmp.<tag>" behind; the next start removes it, but never a sibling a
// live writer (this process or another) is still filling.
TEST(AtomicFile, LeftoversOfWritersThatDiedAreRemovedAndLiveOnesKept) {
    test::TempDir dir;
    const auto backdate = [](const std::filesystem::path& path, int seconds) {
        const timespec times[2] = {{::time(nullptr) - seconds, 0}, {::time(nullptr) - seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    };
    const auto make = [&](const char* name, int age) {
        std::ofstream(dir / name) << "partial";
        backdate(dir / name, age);
        return dir / name;
    };
    const auto left = make("index.bin.tmp.0123456789ab", 120);
    const auto leftSettings = make("settings.json.tmp.fedcba987654", 3600);
    const auto young = make("delta.bin.tmp.00000000000a", 5);
    const auto notOurs = make("notes.tmp.txt", 3600);
    const auto tagTooShort = make("index.bin.tmp.abc", 3600);
    AtomicFileWriter live(dir / "content.bin");
    live.write(std::string_view("half"));
    backdate(live.temporaryPath(), 3600); // a writer stalled on a slow disk

    EXPECT_EQ(removeLeftoverTemporaries(dir.path()), 2u);
    EXPECT_FALSE(std::filesystem::exists(left));
    EXPECT_FALSE(std::filesystem::exists(leftSettings));
    for (const auto& kept : {young, notOurs, tagTooShort, live.temporaryPath()})
        EXPECT_TRUE(std::filesystem::exists(kept)) << kept;
    live.commit();
    EXPECT_TRUE(std::filesystem::exists(dir / "content.bin"));
    EXPECT_EQ(removeLeftoverTemporaries(dir / "missing"), 0u);
}

TEST(DataLocations, FollowsXdgVariables) {
    ScopedEnv home("HOME", "/home/someone");
    {
        ScopedEnv data("XDG_DATA_HOME", "/data");
        EXPECT_EQ(DataLocations::dataDirectory(), "/data/Ulmaro");
        EXPECT_EQ(DataLocations::indexPath(), "/data/Ulmaro/index.bin");
        EXPECT_EQ(DataLocations::catalogsDirectory(), "/data/Ulmaro/Catalogs");
    }
    {
        ScopedEnv data("XDG_DATA_HOME", "relative/ignored");
        EXPECT_EQ(DataLocations::dataDirectory(), "/home/someone/.local/share/Ulmaro");
    }
    ScopedEnv config("XDG_CONFIG_HOME", "");
    EXPECT_EQ(DataLocations::configDirectory(), "/home/someone/.config/Ulmaro");
}

} // namespace
} // namespace ulmaro
