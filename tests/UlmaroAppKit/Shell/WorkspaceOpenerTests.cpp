#include "UlmaroAppKit/Shell/SystemWorkspaceOpener.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;

struct RecordingLauncher final : OpenLauncher {
    std::vector<std::pair<OpenRoad, std::string>> launched;
    bool succeeds = true;

    bool launchDesktopApplication(const std::string& file) override {
        launched.emplace_back(OpenRoad::desktopApplication, file);
        return succeeds;
    }
    bool xdgOpen(const std::string& path) override {
        launched.emplace_back(OpenRoad::xdgOpen, path);
        return succeeds;
    }
};

struct OpenerFixture {
    test::TempDir dir;
    test::ScopedEnv dataHome{"XDG_DATA_HOME", (dir / "home-data").string()};
    test::ScopedEnv dataDirs{"XDG_DATA_DIRS", (dir / "sys").string() +
                                                  ":relative:" + (dir / "local").string() + "/"};
    std::shared_ptr<RecordingLauncher> launcher = std::make_shared<RecordingLauncher>();
    std::vector<std::string> lines;
    SystemWorkspaceOpener opener{launcher,
                                 [this](const std::string& line) { lines.push_back(line); }};

    std::string at(const std::string& relative) const { return (dir / relative).string(); }
};

TEST(WorkspaceOpener, ApplicationFoldersFollowXdgAndSkipRelativeEntries) {
    OpenerFixture fixture;
    EXPECT_EQ(xdgApplicationFolders(),
              (std::vector<std::string>{fixture.at("home-data/applications"),
                                        fixture.at("sys/applications"),
                                        fixture.at("local/applications")}));
    test::ScopedEnv home("HOME", "/home/someone");
    test::ScopedEnv relativeHome("XDG_DATA_HOME", "relative");
    test::ScopedEnv noDirs("XDG_DATA_DIRS", "");
    EXPECT_EQ(
        xdgApplicationFolders(),
        (std::vector<std::string>{"/home/someone/.local/share/applications",
                                  "/usr/local/share/applications", "/usr/share/applications"}));
}

TEST(WorkspaceOpener, OnlyADesktopFileInAnApplicationFolderIsLaunchedAsAnApplication) {
    OpenerFixture fixture;
    const struct {
        std::string path;
        OpenRoad road;
    } cases[] = {
        {fixture.at("home-data/applications/editor.desktop"), OpenRoad::desktopApplication},
        {fixture.at("sys/applications/kde/viewer.desktop"), OpenRoad::desktopApplication},
        {fixture.at("local/applications/tool.desktop"), OpenRoad::desktopApplication},
        {fixture.at("Downloads/evil.desktop"), OpenRoad::xdgOpen},
        {fixture.at("sys/applications/../../Downloads/evil.desktop"), OpenRoad::xdgOpen},
        {fixture.at("sys/applications/./evil.desktop"), OpenRoad::xdgOpen},
        {fixture.at("sys/applicationsX/evil.desktop"), OpenRoad::xdgOpen},
        {fixture.at("relative/applications/evil.desktop"), OpenRoad::xdgOpen},
        {fixture.at("sys/applications/notes.desktop.txt"), OpenRoad::xdgOpen},
        {fixture.at("sys/applications/NOTES.DESKTOP"), OpenRoad::xdgOpen},
        {"/Applications/Safari.app", OpenRoad::xdgOpen},
        {"/Applications/Safari.APP", OpenRoad::xdgOpen},
        {fixture.at("Apps/Krita.AppImage"), OpenRoad::xdgOpen},
        {fixture.at("Documents/report final.pdf"), OpenRoad::xdgOpen},
        {fixture.at("Documents/caf\xe9"), OpenRoad::xdgOpen},
    };
    for (const auto& each : cases) {
        fixture.launcher->launched.clear();
        fixture.opener.open(each.path);
        ASSERT_EQ(fixture.launcher->launched.size(), 1u) << each.path;
        EXPECT_EQ(fixture.launcher->launched[0].first, each.road) << each.path;
        EXPECT_EQ(fixture.launcher->launched[0].second, each.path);
    }
    EXPECT_TRUE(fixture.lines.empty());
}

TEST(WorkspaceOpener, APathThatCannotBeHandedOnWritesOneLine) {
    OpenerFixture fixture;
    // Relative: xdg-open takes no "--", so it could read as an option.
    fixture.opener.open("-rf");
    fixture.opener.open(std::string("/tmp/a\0b", 8));
    EXPECT_TRUE(fixture.launcher->launched.empty());
    fixture.launcher->succeeds = false;
    fixture.opener.open("/data/caf\xe9.txt");
    EXPECT_EQ(fixture.lines,
              (std::vector<std::string>{"Ulmaro: could not open -rf\n",
                                        std::string("Ulmaro: could not open /tmp/a") + '\0' + "b\n",
                                        "Ulmaro: could not open /data/caf\xef\xbf\xbd.txt\n"}));
}

TEST(WorkspaceOpener, XdgOpenGetsThePathAsOneArgumentNoDescriptorOfOursAndIsReaped) {
    test::TempDir dir;
    fs::create_directories(dir / "bin");
    const auto script = dir / "bin" / "xdg-open";
    const auto record = dir / "record";
    std::ofstream(script) << "#!/bin/sh\n"
                          << "{ echo \"$#\"; echo \"$1\"; echo $$; } > '" << record.string()
                          << ".tmp'\n"
                          << "/bin/mv '" << record.string() << ".tmp' '" << record.string()
                          << "'\nexec /bin/sleep 60\n";
    fs::permissions(script, fs::perms::owner_all);
    test::ScopedEnv path("PATH", (dir / "bin").string());
    // A descriptor left inheritable by mistake must still not reach the child.
    const int stray = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(::dup2(stray, 77), 0);

    const std::string target = (dir / "odd $(touch x) name.txt").string();
    SystemOpenLauncher launcher;
    ASSERT_TRUE(launcher.xdgOpen(target));
    ::close(77);
    ::close(stray);

    ASSERT_TRUE(test::waitFor([&] { return fs::exists(record); }));
    std::ifstream in(record);
    std::string count, argument, pidText;
    std::getline(in, count);
    std::getline(in, argument);
    std::getline(in, pidText);
    EXPECT_EQ(count, "1");
    EXPECT_EQ(argument, target);
    const pid_t pid = std::stoi(pidText);
    const fs::path proc = "/proc/" + pidText;
    ASSERT_TRUE(test::waitFor([&] {
        std::ifstream comm(proc / "comm");
        std::string name;
        std::getline(comm, name);
        return name == "sleep";
    }));
    // The program may open files of its own for a moment (its locale); ours would stay.
    const auto descriptors = [&] {
        std::set<std::string> names;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(proc / "fd", error))
            names.insert(entry.path().filename().string());
        return names;
    };
    EXPECT_TRUE(test::waitFor(
        [&] {
            return descriptors() == std::set<std::string>{"0", "1", "2"};
        },
        std::chrono::seconds(5)));

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    // Reaped: no zombie stays behind under our process.
    EXPECT_TRUE(test::waitFor([&] { return !fs::exists(proc); }));
}

TEST(WorkspaceOpener, NoXdgOpenOnThePathIsAFailure) {
    test::TempDir dir;
    test::ScopedEnv path("PATH", dir.path().string());
    SystemOpenLauncher launcher;
    EXPECT_FALSE(launcher.xdgOpen("/etc/hostname"));
}

} // namespace
} // namespace ulmaro
