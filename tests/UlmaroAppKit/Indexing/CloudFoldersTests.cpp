#include "UlmaroAppKit/Indexing/CloudFolders.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using CloudFolders::Folder;

TEST(CloudFolders, DisplayNames) {
    struct Case {
        const char* folder;
        const char* name;
    } cases[] = {
        {"GoogleDrive-Work", "Google Drive (Work)"},
        {"OneDrive-Personal", "OneDrive (Personal)"},
        {"OneDrive-OneDrive-Team", "OneDrive (Team)"},
        {"Dropbox-", "Dropbox"},
        {"Dropbox-(Personal)", "Dropbox (Personal)"},
        {"pCloud-__ann__", "pCloud (ann)"},
        {"ProtonDrive-ann@example.org", "Proton Drive (ann@example.org)"},
        {"iCloudDrive", "iCloud Drive"},
        {"Box", "Box"},
        {"Acme-Work", "Acme (Work)"},
        {"Acme", "Acme"},
        {"Box-Box", "Box"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CloudFolders::displayName(c.folder), c.name) << c.folder;
}

TEST(CloudFolders, DetectedInTheHomeFolder) {
    test::TempDir home;
    const std::string h = home.path().string();
    const fs::path storage = home / "Library/CloudStorage";
    fs::create_directories(storage / "OneDrive-Personal");
    fs::create_directories(storage / "GoogleDrive-Work");
    fs::create_directories(storage / ".Trash");
    fs::create_directories(storage / "Dropbox");
    std::ofstream(storage / "Box-file");
    std::ofstream(storage / "pCloud");
    fs::create_directories(home / "Dropbox");
    std::ofstream(home / "OneDrive"); // a file, not a folder
    // A link to a folder is taken as the folder it names.
    fs::create_directories(home / "elsewhere");
    ASSERT_EQ(::symlink((home / "elsewhere").c_str(), (home / "Google Drive").c_str()), 0);
    fs::create_directories(home / "Library/Mobile Documents/com~apple~CloudDocs");

    EXPECT_EQ(CloudFolders::detected(h),
              (std::vector<Folder>{
                  {"Dropbox", h + "/Library/CloudStorage/Dropbox"},
                  {"Google Drive (Work)", h + "/Library/CloudStorage/GoogleDrive-Work"},
                  {"OneDrive (Personal)", h + "/Library/CloudStorage/OneDrive-Personal"},
                  {"Dropbox", h + "/Dropbox"},
                  {"Google Drive", h + "/Google Drive"},
                  {"iCloud Drive", h + "/Library/Mobile Documents/com~apple~CloudDocs"},
              }));
}

TEST(CloudFolders, NothingFoundInAnEmptyOrMissingHome) {
    test::TempDir home;
    EXPECT_TRUE(CloudFolders::detected(home.path().string()).empty());
    EXPECT_TRUE(CloudFolders::detected((home / "missing").string()).empty());
}

} // namespace
} // namespace ulmaro
