#include "UlmaroAppKit/MenuBar/LoginItemViewModel.h"
#include "UlmaroAppKit/Shell/XdgAutostartLoginItemProvider.h"
#include "support/TempDir.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace ulmaro {
namespace {

using test::ScopedEnv;
using test::TempDir;

class RecordingProvider final : public LoginItemProvider {
public:
    LoginItemStatus current = LoginItemStatus::notRegistered;
    bool failRegister = false, failUnregister = false;
    std::vector<std::string> calls;

    LoginItemStatus status() const override { return current; }
    void registerItem() override {
        calls.push_back("register");
        if (failRegister) throw std::runtime_error("refused");
    }
    void unregisterItem() override {
        calls.push_back("unregister");
        if (failUnregister) throw std::runtime_error("refused");
    }
};

TEST(LoginItemViewModel, DisplayToggleAndRegisterIfNeeded) {
    using S = LoginItemStatus;
    using D = LoginItemViewModel::DisplayState;
    struct Case {
        S status;
        D display;
        std::vector<std::string> toggleCalls, registerIfNeededCalls;
    };
    const Case cases[] = {
        {S::enabled, D::on, {"unregister"}, {}},
        {S::notRegistered, D::off, {"register"}, {"register"}},
        {S::requiresApproval, D::pendingApproval, {"register"}, {}},
        {S::notFound, D::unavailable, {"unregister", "register"}, {}},
    };
    for (const auto& c : cases) {
        for (bool failing : {false, true}) {
            auto provider = std::make_shared<RecordingProvider>();
            provider->current = c.status;
            provider->failRegister = provider->failUnregister = failing;
            LoginItemViewModel model(provider);
            EXPECT_EQ(model.displayState(), c.display);
            EXPECT_NO_THROW(model.toggle());
            EXPECT_EQ(provider->calls, c.toggleCalls);
            provider->calls.clear();
            EXPECT_NO_THROW(model.registerIfNeeded());
            EXPECT_EQ(provider->calls, c.registerIfNeededCalls);
        }
    }
}

TEST(XdgAutostartLoginItemProvider, ExecValuesParseBackToTheProgram) {
    const std::string programs[] = {
        "/opt/Ulmaro/ulmaro",          "/home/me/My Apps/ulmaro", "/home/me/\"quoted\"/ulmaro",
        "/home/me/back\\slash/ulmaro", "/home/me/100%/ulmaro",    "/home/me/$HOME `x`/ulmaro",
        "/home/me/tab\there/ulmaro",
    };
    for (const auto& program : programs) {
        auto value = XdgAutostartLoginItemProvider::execValue(program);
        EXPECT_EQ(XdgAutostartLoginItemProvider::programOfExecValue(value), program) << value;
    }
    EXPECT_EQ(XdgAutostartLoginItemProvider::execValue("/a b/100%\\x"), "\"/a b/100%%\\\\\\\\x\"");
    EXPECT_EQ(XdgAutostartLoginItemProvider::programOfExecValue("/usr/bin/ulmaro --flag"),
              "/usr/bin/ulmaro");
    EXPECT_EQ(XdgAutostartLoginItemProvider::programOfExecValue("\"/unterminated"), std::nullopt);
    EXPECT_EQ(XdgAutostartLoginItemProvider::programOfExecValue(""), std::nullopt);
}

struct AutostartFixture : ::testing::Test {
    TempDir dir;
    ScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
    std::filesystem::path program = dir / "My Apps" / "100% \"ulmaro\"";

    void SetUp() override {
        std::filesystem::create_directories(program.parent_path());
        std::ofstream(program) << "#!/bin/sh\n";
        ::chmod(program.c_str(), 0755);
    }
    std::filesystem::path entry() const { return dir / "config" / "autostart" / "ulmaro.desktop"; }
    void writeEntry(const std::string& text) const {
        std::filesystem::create_directories(entry().parent_path());
        std::ofstream(entry()) << text;
    }
};

TEST_F(AutostartFixture, RegisterEnablesAndUnregisterRemovesOnlyItsFile) {
    auto provider = std::make_shared<XdgAutostartLoginItemProvider>([this] { return program; });
    EXPECT_EQ(provider->status(), LoginItemStatus::notRegistered);
    provider->registerItem();
    EXPECT_EQ(provider->status(), LoginItemStatus::enabled);
    std::filesystem::path other = entry().parent_path() / "other.desktop";
    std::ofstream(other) << "[Desktop Entry]\n";
    provider->unregisterItem();
    EXPECT_FALSE(std::filesystem::exists(entry()));
    EXPECT_TRUE(std::filesystem::exists(other));
    EXPECT_NO_THROW(provider->unregisterItem());
    EXPECT_EQ(provider->status(), LoginItemStatus::notRegistered);
}

TEST_F(AutostartFixture, AMovedApplicationIsNotFoundAndToggleRegistersTheCurrentPath) {
    auto provider = std::make_shared<XdgAutostartLoginItemProvider>([this] { return program; });
    provider->registerItem();
    auto moved = dir / "moved";
    std::filesystem::rename(program, moved);
    EXPECT_EQ(provider->status(), LoginItemStatus::notFound);
    program = moved;
    LoginItemViewModel model(provider);
    EXPECT_EQ(model.displayState(), LoginItemViewModel::DisplayState::unavailable);
    model.toggle();
    EXPECT_EQ(provider->status(), LoginItemStatus::enabled);
}

TEST_F(AutostartFixture, HiddenOrDisabledEntriesAreNotRegistered) {
    XdgAutostartLoginItemProvider provider([this] { return program; });
    const std::string exec = "Exec=" + XdgAutostartLoginItemProvider::execValue(program) + "\n";
    writeEntry("[Desktop Entry]\nType=Application\n" + exec + "Hidden=true\n");
    EXPECT_EQ(provider.status(), LoginItemStatus::notRegistered);
    writeEntry("[Desktop Entry]\n" + exec + "X-GNOME-Autostart-enabled=false\n");
    EXPECT_EQ(provider.status(), LoginItemStatus::notRegistered);
    writeEntry("[Other Group]\nHidden=true\n[Desktop Entry]\n" + exec);
    EXPECT_EQ(provider.status(), LoginItemStatus::enabled);
    writeEntry("[Desktop Entry]\nType=Application\n");
    EXPECT_EQ(provider.status(), LoginItemStatus::notFound);
}

TEST_F(AutostartFixture, AProgramNamedWithoutAFolderIsLookedForOnThePath) {
    // As a desktop's "Startup Applications" writes the entry.
    std::filesystem::create_directories(dir / "bin");
    const auto installed = dir / "bin" / "ulmaro";
    std::ofstream(installed) << "#!/bin/sh\n";
    ::chmod(installed.c_str(), 0755);
    writeEntry("[Desktop Entry]\nType=Application\nName=Ulmaro\nExec=ulmaro\n");
    XdgAutostartLoginItemProvider provider([this] { return program; });
    {
        ScopedEnv path{"PATH",
                       "relative:" + (dir / "empty").string() + ":" + (dir / "bin").string()};
        EXPECT_EQ(provider.status(), LoginItemStatus::enabled);
        // Nothing is deleted or rewritten: the user's entry stays as it was.
        LoginItemViewModel model(
            std::make_shared<XdgAutostartLoginItemProvider>([this] { return program; }));
        EXPECT_EQ(model.displayState(), LoginItemViewModel::DisplayState::on);
    }
    {
        ScopedEnv path{"PATH", (dir / "empty").string()};
        EXPECT_EQ(provider.status(), LoginItemStatus::notFound);
    }
    ::chmod(installed.c_str(), 0644);
    ScopedEnv path{"PATH", (dir / "bin").string()};
    EXPECT_EQ(provider.status(), LoginItemStatus::notFound) << "not executable";
}

TEST_F(AutostartFixture, OurEntryNamesTheInstalledProgram) {
    std::filesystem::create_directories(dir / "bin");
    const auto installed = dir / "bin" / "ulmaro";
    std::ofstream(installed) << "#!/bin/sh\n";
    ::chmod(installed.c_str(), 0755);
    {
        ScopedEnv path{"PATH", (dir / "bin").string()};
        EXPECT_EQ(XdgAutostartLoginItemProvider::installedExecutable(), installed);
        XdgAutostartLoginItemProvider().registerItem();
        std::ifstream in(entry());
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_THAT(text.str(), ::testing::HasSubstr("Exec=\"" + installed.string() + "\"\n"));
    }
    // Nothing installed: the running program is the only one there is.
    ScopedEnv path{"PATH", (dir / "empty").string()};
    EXPECT_EQ(XdgAutostartLoginItemProvider::installedExecutable(),
              XdgAutostartLoginItemProvider::runningExecutable());
}

TEST_F(AutostartFixture, RegisterThrowsWhenTheFolderCannotBeWritten) {
    std::filesystem::create_directories(dir / "config");
    std::ofstream(dir / "config" / "autostart") << "a file where the folder should be";
    XdgAutostartLoginItemProvider provider([this] { return program; });
    EXPECT_ANY_THROW(provider.registerItem());
    LoginItemViewModel model(
        std::make_shared<XdgAutostartLoginItemProvider>([this] { return program; }));
    EXPECT_NO_THROW(model.registerIfNeeded());
}

} // namespace
} // namespace ulmaro
