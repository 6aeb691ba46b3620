#include "UlmaroKit/Scanning/ScanPolicy.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using test::ScopedEnv;
using ::testing::Contains;
using ::testing::IsSupersetOf;
using ::testing::Not;

const std::vector<std::string> partDefaultExclusions{"/System/Volumes/Data",
                                                     "/System/Volumes/Preboot",
                                                     "/System/Volumes/VM",
                                                     "/System/Volumes/Update",
                                                     "/dev",
                                                     "/proc",
                                                     "/.vol",
                                                     "/private/var/vm"};
const std::vector<std::string> partSystemFolders{
    "/System", "/Library", "/usr", "/bin", "/sbin", "/opt", "/private", "/cores", "/Network"};

ScanPolicy defaultPolicy() {
    return ScanPolicy(ScanPolicy::defaultExclusions());
}

TEST(ScanPolicy, TablesHoldTheDescribedEntries) {
    EXPECT_THAT(ScanPolicy::defaultExclusions(), IsSupersetOf(partDefaultExclusions));
    EXPECT_THAT(ScanPolicy::systemFolders(), IsSupersetOf(partSystemFolders));
    EXPECT_EQ(ScanPolicy::backupAndSystemStores().size(), 7u);
    EXPECT_EQ(ScanPolicy::privateFolderNames().size(), 9u);
    ASSERT_EQ(ScanPolicy::tccProtectedRelativePaths().size(), 31u);
    EXPECT_EQ(ScanPolicy::tccProtectedRelativePaths()[0], "Desktop");
    EXPECT_EQ(ScanPolicy::tccProtectedRelativePaths()[17], "Library/Application Support/Ulmaro");
    EXPECT_EQ(ScanPolicy::tccProtectedRelativePaths()[30], "Library/Metadata/CoreSpotlight");
}

TEST(ScanPolicy, LinuxTablesSitBesideTheDescribedOnes) {
    EXPECT_EQ(ScanPolicy::defaultExclusions().size(), 10u);
    EXPECT_THAT(ScanPolicy::defaultExclusions(), IsSupersetOf({"/sys", "/run"}));
    EXPECT_EQ(ScanPolicy::systemFolders().size(), 17u);
    EXPECT_THAT(ScanPolicy::systemFolders(), IsSupersetOf({"/lib", "/lib32", "/lib64", "/libx32",
                                                           "/etc", "/var", "/boot", "/snap"}));
    EXPECT_EQ(ScanPolicy::usersDirectory, "/home");
    EXPECT_TRUE(ScanPolicy::isSystemPath("/etc/passwd"));
    EXPECT_TRUE(ScanPolicy::isSystemPath("/var"));
    EXPECT_FALSE(ScanPolicy::isSystemPath("/variable"));
    EXPECT_FALSE(ScanPolicy::isSystemPath("/home/alice/lib"));
}

TEST(ScanPolicy, SystemPathsArePrefixesAtComponentBoundaries) {
    EXPECT_TRUE(ScanPolicy::isSystemPath("/System"));
    EXPECT_TRUE(ScanPolicy::isSystemPath("/usr/bin/ls"));
    EXPECT_FALSE(ScanPolicy::isSystemPath("/SystemX"));
    EXPECT_FALSE(ScanPolicy::isSystemPath("/Users/alice/usr"));
}

TEST(ScanPolicy, ExcludedIsAPrefixTestButDescendIsExactMembership) {
    const ScanPolicy policy = defaultPolicy();
    EXPECT_TRUE(policy.isExcluded("/dev"));
    EXPECT_TRUE(policy.isExcluded("/dev/fd/0"));
    EXPECT_FALSE(policy.isExcluded("/device"));
    EXPECT_FALSE(policy.shouldDescend("/dev"));
    EXPECT_TRUE(policy.shouldDescend("/dev/fd"));
    EXPECT_FALSE(policy.shouldDescend("/sys"));
    EXPECT_FALSE(policy.shouldDescend("/run"));
    EXPECT_TRUE(policy.shouldDescend("/Dev")); // case matters
}

TEST(ScanPolicy, NameRulesHoldUnderEveryPolicy) {
    const ScanPolicy empty(ScanPolicy::PathSet{});
    EXPECT_TRUE(empty.isExcluded("/Users/a/Photos.noindex/img.jpg"));
    EXPECT_TRUE(ScanPolicy::isNoIndexDirectory("/x/.noindex/y"));
    EXPECT_FALSE(ScanPolicy::isNoIndexDirectory("/x/noindex.d/y"));
    for (const char* refused :
         {"/Volumes/Disk/Backups.backupdb", "/x/.Spotlight-V100", "/x/Disk.sparsebundle",
          "/x/Old.backupbundle", "/x/2024-01-31-123456.backup", "/x/Photos.noindex"})
        EXPECT_FALSE(empty.shouldDescend(refused)) << refused;
    EXPECT_TRUE(empty.shouldDescend("/x/Backups"));
    EXPECT_FALSE(empty.isExcluded("/x/Backups.backupdb/y")); // stores are not part of it
}

TEST(ScanPolicy, SnapshotNames) {
    EXPECT_TRUE(ScanPolicy::isTimeMachineSnapshot("2024-01-31-123456.backup"));
    EXPECT_FALSE(ScanPolicy::isTimeMachineSnapshot("2024-01-31-12345.backup"));
    EXPECT_FALSE(ScanPolicy::isTimeMachineSnapshot("2024-01-31-12a456.backup"));
    EXPECT_FALSE(ScanPolicy::isTimeMachineSnapshot("2024-01-31-123456"));
    EXPECT_FALSE(ScanPolicy::isTimeMachineSnapshot("2024/01-31-123456.backup"));
    EXPECT_FALSE(ScanPolicy::isTimeMachineSnapshot("2024-01-31-12345\xd9\xa0.backup"));

    EXPECT_FALSE(ScanPolicy::isTimeMachineDestination(std::vector<std::string>{}));
    for (const char* entry : {"Backups.backupdb", ".MobileBackups", "2024-01-31-123456.backup"})
        EXPECT_TRUE(ScanPolicy::isTimeMachineDestination(std::vector<std::string>{"x", entry}));
    EXPECT_FALSE(ScanPolicy::isTimeMachineDestination(std::vector<std::string>{"Backups"}));
}

TEST(ScanPolicy, TimeMachineDestinationListsTheVolume) {
    test::TempDir dir;
    EXPECT_FALSE(ScanPolicy::isTimeMachineDestinationAt(dir.path()));
    std::filesystem::create_directory(dir / "Backups.backupdb");
    EXPECT_TRUE(ScanPolicy::isTimeMachineDestinationAt(dir.path()));
    EXPECT_FALSE(ScanPolicy::isTimeMachineDestinationAt(dir / "missing"));
}

TEST(ScanPolicy, OtherUsersPrivateFolders) {
    auto listing = [](const std::string& path) -> std::optional<std::vector<std::string>> {
        if (path != "/Users") return std::nullopt;
        return std::vector<std::string>{"alice", "bob", "Shared", ".localized"};
    };
    ScanPolicy::PathSet expected;
    for (const std::string& name : ScanPolicy::privateFolderNames())
        expected.insert("/Users/bob/" + name);
    EXPECT_EQ(ScanPolicy::otherUserPrivateFolders("/Users", "/Users/alice/", listing), expected);
    EXPECT_EQ(ScanPolicy::otherUserPrivateFolders("/Users", "/Users/./carol/../alice", listing),
              expected);
    EXPECT_TRUE(ScanPolicy::otherUserPrivateFolders("/Nowhere", "/Users/alice", listing).empty());
}

TEST(ScanPolicy, FullDiskLeavesOutOtherHomesSystemFoldersAndOurData) {
    ScopedEnv data("XDG_DATA_HOME", "/data/alice");
    ScopedEnv config("XDG_CONFIG_HOME", "/config/alice");
    const ScanPolicy with = ScanPolicy::fullDisk("/home/alice", true);
    const ScanPolicy without = ScanPolicy::fullDisk("/home/alice", false);
    EXPECT_THAT(with.excluded, Not(Contains("/Library")));
    EXPECT_THAT(without.excluded, IsSupersetOf(ScanPolicy::systemFolders()));
    EXPECT_THAT(with.excluded, IsSupersetOf(ScanPolicy::defaultExclusions()));
    EXPECT_THAT(with.excluded, Contains("/data/alice/Ulmaro"));
    EXPECT_THAT(with.excluded, Contains("/config/alice/Ulmaro"));
    EXPECT_EQ(without.excluded.size() - with.excluded.size(), ScanPolicy::systemFolders().size());
}

TEST(ScanPolicy, ExcludingPrivacyProtectedPaths) {
    ScopedEnv data("XDG_DATA_HOME", "/data/alice");
    ScopedEnv config("XDG_CONFIG_HOME", "/config/alice");
    const ScanPolicy policy = ScanPolicy::excludingTCCProtectedPaths("/Users/alice");
    // Described: 8 default + 31 protected + "/Volumes"; Linux adds 2 default exclusions,
    // "/media", "/run/media", "/mnt" and our data and config folders.
    EXPECT_EQ(policy.excluded.size(), 40u + 2 + 3 + 2);
    EXPECT_THAT(policy.excluded,
                IsSupersetOf({"/Users/alice/Library/Application Support/Ulmaro", "/Volumes",
                              "/Users/alice/Desktop", "/media", "/run/media", "/mnt",
                              "/data/alice/Ulmaro", "/config/alice/Ulmaro"}));
    EXPECT_EQ(ScanPolicy::tccProtectedRelativePaths("/Users/alice/"),
              ScanPolicy::tccProtectedRelativePaths("/Users/alice"));
}

TEST(ScanPolicy, AddingKeepsTheRest) {
    const ScanPolicy policy = defaultPolicy();
    EXPECT_EQ(policy.adding({}), policy);
    const std::vector<std::string> more{"/home/alice/big"};
    const ScanPolicy added = policy.adding(more);
    EXPECT_EQ(added.excluded.size(), policy.excluded.size() + 1);
    EXPECT_FALSE(added.shouldDescend("/home/alice/big"));
    EXPECT_TRUE(added.isExcluded("/home/alice/big/file"));
}

TEST(ScanPolicy, AppBundleNames) {
    EXPECT_TRUE(ScanPolicy::isAppBundle("Safari.app"));
    EXPECT_TRUE(ScanPolicy::isAppBundle("x.app"));
    EXPECT_FALSE(ScanPolicy::isAppBundle(".app"));
    EXPECT_FALSE(ScanPolicy::isAppBundle("app"));
    EXPECT_FALSE(ScanPolicy::isAppBundle("Safari.APP"));
}

TEST(ScanPolicy, UnenterableMountPointsComeFromTheMountTable) {
    const std::string mountInfo =
        "21 27 0:20 / /proc rw,relatime - proc proc rw\n"
        "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
        "31 22 0:28 / /sys/fs/cgroup rw,relatime shared:9 - cgroup2 cgroup2 rw\n"
        "40 27 0:40 / /mnt/my\\040share rw master:3 - cifs //nas/share rw\n"
        "41 27 0:41 / /home/alice/- rw - tmpfs tmpfs rw\n"
        "42 27 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
        "garbage line\n";
    EXPECT_EQ(ScanPolicy::unenterableMountPoints(mountInfo),
              (ScanPolicy::PathSet{"/proc", "/sys/fs/cgroup", "/mnt/my share", "/snap/core/1"}));
    EXPECT_TRUE(ScanPolicy::isUnenterableFileSystem("fuse.sshfs"));
    EXPECT_FALSE(ScanPolicy::isUnenterableFileSystem("ext4"));
    EXPECT_FALSE(ScanPolicy::isUnenterableFileSystem("tmpfs"));
}

TEST(ScanPolicy, OnlyTheTopMountAtAPathDecides) {
    // x-systemd.automount: the trigger, then the disk mounted over it once used.
    const std::string mountInfo =
        "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
        "48 27 0:45 / /mnt/data rw,relatime shared:25 - autofs systemd-1 "
        "rw,fd=52,pgrp=1,timeout=0,minproto=5,maxproto=5,direct,pipe_ino=22093\n"
        "49 27 0:46 / /mnt/idle rw,relatime shared:26 - autofs systemd-1 "
        "rw,fd=53,pgrp=1,timeout=0,minproto=5,maxproto=5,direct,pipe_ino=22094\n"
        "50 27 8:17 / /mnt/covered rw,relatime - ext4 /dev/sdc1 rw\n"
        "312 48 8:17 / /mnt/data rw,relatime shared:159 - ext4 /dev/sdb1 rw\n"
        "313 50 0:50 / /mnt/covered rw,relatime - nfs4 server:/export rw\n";
    EXPECT_EQ(ScanPolicy::unenterableMountPoints(mountInfo),
              (ScanPolicy::PathSet{"/mnt/idle", "/mnt/covered"}));

    const auto top = MountTable::topMounts(MountTable::parse(mountInfo));
    std::vector<std::uint32_t> ids;
    for (const MountEntry& mount : top)
        ids.push_back(mount.mountID);
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{27, 49, 312, 313}));
}

} // namespace
} // namespace ulmaro
