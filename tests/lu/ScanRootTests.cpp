// lu scan in process, so that the check of its root after the walk can be stood in for.
#include "UlmaroKit/Index/IndexStore.h"
#include "lu/Commands.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;

using test::readFile;

void makeTree(const fs::path& root) {
    fs::create_directories(root / "docs" / "deep");
    std::ofstream(root / "docs" / "a.txt") << "a";
    std::ofstream(root / "docs" / "deep" / "b.txt") << "b";
}

struct ScanRun {
    int status = -1;
    std::string out;
    std::string err;
};

class LuScanRoot : public ::testing::Test {
protected:
    TempDir dir;
    ScopedEnv home{"HOME", (dir / "home").string()};
    ScopedEnv data{"XDG_DATA_HOME", (dir / "data").string()};
    fs::path indexPath = dir / "data" / "Ulmaro" / "index.bin";

    fs::path contentIndexPath = dir / "data" / "Ulmaro" / "content.bin";

    // Runs a subcommand with its output captured.
    static ScanRun captured(int (*command)(const lu::Invocation&, const lu::RootRecheck&),
                            const lu::Invocation& invocation, const lu::RootRecheck& recheck) {
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        ScanRun run;
        run.status = command(invocation, recheck);
        run.out = ::testing::internal::GetCapturedStdout();
        run.err = ::testing::internal::GetCapturedStderr();
        return run;
    }
    ScanRun scan(const fs::path& root, const lu::RootRecheck& recheck) {
        return captured(lu::runScan, {{root.string()}, indexPath, contentIndexPath}, recheck);
    }
    ScanRun content(const fs::path& root, const lu::RootRecheck& recheck) {
        return captured(lu::runContent, {{root.string()}, indexPath, contentIndexPath}, recheck);
    }

    static int realRecheck(const ScanRootIdentity& identity, const std::string& root) {
        return identity.recheck(root);
    }
};

TEST_F(LuScanRoot, ARootThatIsNoLongerTheSameFolderLeavesTheIndexAlone) {
    const fs::path root = dir / "tree";
    makeTree(root);
    ASSERT_EQ(scan(root, realRecheck).status, 0);
    const std::string before = readFile(indexPath);
    ASSERT_FALSE(before.empty());

    struct stat st {};
    ASSERT_EQ(::stat(root.c_str(), &st), 0);
    for (int error : {EIO, ENOENT, ENODEV}) {
        int calls = 0;
        const ScanRun run =
            scan(root, [&](const ScanRootIdentity& identity, const std::string& at) {
                ++calls;
                EXPECT_EQ(at, root.string());
                EXPECT_EQ(identity.device, st.st_dev);
                EXPECT_EQ(identity.inode, st.st_ino);
                return error;
            });
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "Scanning " + root.string() + "\u2026\n");
        EXPECT_EQ(run.err, "Cannot scan " + root.string() + ": " + std::strerror(error) +
                               ". The index was not changed.\n");
        EXPECT_EQ(readFile(indexPath), before);
    }
}

TEST_F(LuScanRoot, AFolderThatVanishesDuringTheContentBuildLeavesTheIndexAlone) {
    const fs::path docs = dir / "docs";
    makeTree(docs);
    ASSERT_EQ(content(docs, realRecheck).status, 0);
    const std::string before = readFile(contentIndexPath);
    ASSERT_FALSE(before.empty());

    const ScanRun run = content(docs, [](const ScanRootIdentity& identity, const std::string& at) {
        fs::remove_all(at);
        return identity.recheck(at);
    });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Cannot read " + docs.string() + ": " + std::strerror(ENOENT) +
                           ". The content index was not changed.\n");
    EXPECT_EQ(readFile(contentIndexPath), before);
}

// Unmounted when the test ends, whatever happened.
class TmpfsMount {
public:
    explicit TmpfsMount(const fs::path& at) : at_(at) {
        fs::create_directories(at);
        error_ = ::mount("tmpfs", at.c_str(), "tmpfs", 0, "size=4m") == 0 ? 0 : errno;
    }
    ~TmpfsMount() {
        if (error_ == 0) ::umount2(at_.c_str(), MNT_DETACH);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;
    int error() const { return error_; }

private:
    fs::path at_;
    int error_;
};

TEST_F(LuScanRoot, ATmpfsUnmountedDuringTheScanLeavesTheIndexAlone) {
    const fs::path root = dir / "mounted";
    TmpfsMount mount(root);
    if (mount.error() != 0) GTEST_SKIP() << "mounting is not allowed here: " << mount.error();
    makeTree(root);
    ASSERT_EQ(scan(root, realRecheck).status, 0);
    const std::string before = readFile(indexPath);

    // Gone once the walk is over: the path now leads to the folder beneath the mount.
    const ScanRun run = scan(root, [](const ScanRootIdentity& identity, const std::string& at) {
        EXPECT_EQ(::umount2(at.c_str(), MNT_DETACH), 0);
        return identity.recheck(at);
    });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Cannot scan " + root.string() + ": " + std::strerror(ENODEV) +
                           ". The index was not changed.\n");
    EXPECT_EQ(readFile(indexPath), before);
}

} // namespace
} // namespace ulmaro
