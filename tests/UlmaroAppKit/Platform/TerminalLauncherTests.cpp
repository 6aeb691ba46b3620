#include "UlmaroAppKit/Fakes/InMemoryPasteboard.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Platform/SystemResultActions.h"
#include "UlmaroAppKit/Platform/TerminalLauncher.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& file) {
    std::ifstream in(file);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

/// Fake terminals on a PATH of their own, each recording its name, its working directory,
/// its arguments and whether descriptor 77 of ours reached it.
struct FakeTerminals {
    test::TempDir dir;
    test::ScopedEnv path{"PATH", (dir / "bin").string()};
    test::ScopedEnv terminal{"TERMINAL", ""};

    FakeTerminals() { fs::create_directories(dir / "bin"); }

    void install(const std::string& name) {
        const auto script = dir / "bin" / name;
        std::ofstream(script) << "#!/bin/sh\n"
                              << "{ echo " << name << "; pwd; echo \"$#\"; "
                              << "[ -e /proc/$$/fd/77 ] && echo leaked; } > '"
                              << (dir / "record.tmp").string() << "'\n"
                              << "/bin/mv '" << (dir / "record.tmp").string() << "' '"
                              << (dir / "record").string() << "'\n";
        fs::permissions(script, fs::perms::owner_all);
    }

    std::string record() {
        EXPECT_TRUE(test::waitFor([&] { return fs::exists(dir / "record"); }));
        auto text = slurp(dir / "record");
        fs::remove(dir / "record");
        return text;
    }
};

SystemResultActions systemActions() {
    return SystemResultActions(std::make_shared<InMemoryPasteboard>(),
                               std::make_shared<ManualSerialQueue>("q", QueueQuality::utility),
                               std::make_shared<ManualSerialQueue>("t", QueueQuality::utility));
}

TEST(TerminalLauncher, StartsInTheFolderWithNoArgumentAndNoDescriptorOfOurs) {
    FakeTerminals fake;
    fake.install("x-terminal-emulator");
    fake.install("xterm");
    // A descriptor left inheritable by mistake must still not reach the terminal.
    const int stray = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(::dup2(stray, 77), 0);
    auto actions = systemActions();
    for (const std::string name : {"with spaces", "-leading dash", "caf\xe9", "$(touch x)"}) {
        const auto folder = fake.dir / "places" / name;
        fs::create_directories(folder);
        ASSERT_TRUE(actions.openTerminal(folder.string())) << name;
        EXPECT_EQ(fake.record(), "x-terminal-emulator\n" + folder.string() + "\n0\n") << name;
    }
    ::close(77);
    ::close(stray);
    EXPECT_FALSE(fs::exists(fake.dir / "places" / "$(touch x)" / "x"));
}

TEST(TerminalLauncher, AMissingFolderOrNoTerminalIsAFailure) {
    FakeTerminals fake;
    auto actions = systemActions();
    EXPECT_FALSE(actions.openTerminal(fake.dir.path().string())) << "no terminal on PATH";
    fake.install("xterm");
    EXPECT_FALSE(actions.openTerminal((fake.dir / "gone").string()));
    std::ofstream(fake.dir / "file");
    EXPECT_FALSE(actions.openTerminal((fake.dir / "file").string()));
    EXPECT_TRUE(actions.openTerminal(fake.dir.path().string()));
    EXPECT_EQ(fake.record().substr(0, 6), "xterm\n");
}

TEST(TerminalLauncher, TheFirstCandidateOnPathWins) {
    struct Case {
        std::vector<std::string> installed;
        std::string terminalVariable;
        std::string chosen;
    };
    const std::vector<Case> cases = {
        {{"xterm", "konsole", "x-terminal-emulator"}, "", "x-terminal-emulator"},
        {{"xterm", "mine"}, "mine", "mine"},
        {{"xterm", "konsole"}, "absent", "konsole"},
        {{"xterm", "xfce4-terminal", "gnome-terminal"}, "", "gnome-terminal"},
        {{"xterm", "xfce4-terminal"}, "", "xfce4-terminal"},
    };
    for (const auto& c : cases) {
        FakeTerminals fake;
        for (const auto& name : c.installed)
            fake.install(name);
        test::ScopedEnv terminal("TERMINAL", c.terminalVariable);
        auto found = findTerminal();
        ASSERT_TRUE(found) << c.chosen;
        EXPECT_EQ(fs::path(*found).filename(), c.chosen);
    }
    FakeTerminals fake;
    fake.install("mine");
    test::ScopedEnv terminal("TERMINAL", (fake.dir / "bin" / "mine").string());
    test::ScopedEnv emptyPath("PATH", "");
    EXPECT_EQ(findTerminal(), (fake.dir / "bin" / "mine").string()) << "a path in $TERMINAL";
}

} // namespace
} // namespace ulmaro
