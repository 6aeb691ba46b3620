#include "UlmaroAppKit/Shell/SingleInstance.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ulmaro {
namespace {

using test::TempDir;

TEST(SingleInstance, SecondLockInTheSameProcessIsRefusedUntilTheFirstIsClosed) {
    TempDir dir;
    auto lockPath = dir / "fresh" / "Ulmaro" / "instance.lock";
    auto first = SingleInstance::tryLock(lockPath);
    EXPECT_TRUE(first.isPrimary());
    EXPECT_TRUE(std::filesystem::is_regular_file(lockPath));
    EXPECT_EQ(std::filesystem::file_size(lockPath), 0u);
    EXPECT_EQ(SingleInstance::tryLock(lockPath).outcome, SingleInstance::Outcome::secondary);
    first.descriptor.reset();
    EXPECT_TRUE(std::filesystem::exists(lockPath));
    EXPECT_TRUE(SingleInstance::tryLock(lockPath).isPrimary());
}

TEST(SingleInstance, ALockThatCannotBeOpenedIsAFailureNeverASecondPrimary) {
    TempDir dir;
    const auto folder = dir / "Ulmaro";
    ASSERT_TRUE(SingleInstance::prepareRuntimeFolder(folder));
    std::filesystem::create_directories(SingleInstance::lockPath(folder));
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto role = SingleInstance::claim(folder);
        EXPECT_EQ(role.outcome, SingleInstance::Outcome::failed);
        EXPECT_FALSE(role.isPrimary());
        EXPECT_NE(role.problem.find("instance.lock"), std::string::npos) << role.problem;
        EXPECT_NE(role.problem.find("Is a directory"), std::string::npos) << role.problem;
    }
    // Through a link it is not opened either.
    std::filesystem::remove(SingleInstance::lockPath(folder));
    std::filesystem::create_symlink(dir / "elsewhere", SingleInstance::lockPath(folder));
    EXPECT_EQ(SingleInstance::tryLock(SingleInstance::lockPath(folder)).outcome,
              SingleInstance::Outcome::failed);
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere"));
}

TEST(SingleInstance, AChildOfTheHolderDoesNotKeepTheLock) {
    TempDir dir;
    auto lockPath = dir / "instance.lock";
    pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        if (!SingleInstance::acquire(lockPath).isPrimary()) ::_exit(2);
        pid_t child = 0;
        char sleepName[] = "sleep";
        char seconds[] = "3";
        char* argv[] = {sleepName, seconds, nullptr};
        ::_exit(::posix_spawnp(&child, "sleep", nullptr, nullptr, argv, environ) == 0 ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(holder, &status, 0), holder);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    // The holder is gone; its `sleep` lives on but must not hold the lock.
    EXPECT_TRUE(SingleInstance::tryLock(lockPath).isPrimary());
}

TEST(SingleInstance, RuntimeFolderIsMadePrivateAndPlantedOnesAreRefused) {
    TempDir dir;
    auto fresh = dir / "run" / "Ulmaro";
    EXPECT_TRUE(SingleInstance::prepareRuntimeFolder(fresh));
    struct stat st {};
    ASSERT_EQ(::lstat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);

    auto open = dir / "open";
    std::filesystem::create_directory(open);
    ::chmod(open.c_str(), 0755);
    std::string why;
    EXPECT_FALSE(SingleInstance::prepareRuntimeFolder(open, &why));
    EXPECT_NE(why.find("0700"), std::string::npos);

    auto link = dir / "link";
    std::filesystem::create_directory_symlink(fresh, link);
    EXPECT_FALSE(SingleInstance::prepareRuntimeFolder(link, &why));
    EXPECT_NE(why.find("symbolic link"), std::string::npos);

    auto role = SingleInstance::claim(link);
    EXPECT_TRUE(role.isPrimary());
    EXPECT_FALSE(role.hasRuntimeFolder);
    EXPECT_FALSE(std::filesystem::exists(fresh / "instance.lock"));
}

} // namespace
} // namespace ulmaro
