#include "UlmaroKit/Catalogs/CatalogLayout.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <vector>

namespace ulmaro {
namespace {

using test::ScopedEnv;
using test::TempDir;

void touch(const std::filesystem::path& p) {
    std::ofstream(p) << "";
}

TEST(CatalogLayout, ComposesPathsUnderTheRoot) {
    CatalogLayout layout("/data/Catalogs");
    EXPECT_EQ(layout.directory("X"), "/data/Catalogs/X");
    EXPECT_EQ(layout.indexURL("X"), "/data/Catalogs/X/index.bin");
    EXPECT_EQ(layout.infoURL("X"), "/data/Catalogs/X/info.json");
    EXPECT_EQ(layout.trigramURL("X"), "/data/Catalogs/X/trigram.cache");
    EXPECT_EQ(layout.markerURL("X"), "/data/Catalogs/X/index.bin.inprogress");
    EXPECT_EQ(layout, CatalogLayout("/data/Catalogs"));

    TempDir home;
    ScopedEnv data("XDG_DATA_HOME", home.path().string());
    EXPECT_EQ(CatalogLayout::defaultRoot(), home / "Ulmaro" / "Catalogs");
}

TEST(CatalogLayout, ForIndexIsTheDefaultRootOnlyForTheDefaultIndex) {
    TempDir home;
    ScopedEnv data("XDG_DATA_HOME", home.path().string());
    const auto defaultIndex = home / "Ulmaro" / "index.bin";
    struct Case {
        std::filesystem::path index;
        std::filesystem::path root;
    };
    const std::vector<Case> cases = {
        {defaultIndex, home / "Ulmaro" / "Catalogs"},
        {"/tmp/x/index.bin", "/tmp/x/index.bin.catalogs"},
        {"relative/index.bin", "relative/index.bin.catalogs"},
        // Equal only once resolved: not the default index.
        {home / "Ulmaro" / "." / "index.bin", home / "Ulmaro" / "." / "index.bin.catalogs"},
        {home.path().native() + "/Ulmaro//index.bin",
         home.path().native() + "/Ulmaro//index.bin.catalogs"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CatalogLayout::forIndex(c.index).root().native(), c.root.native()) << c.index;
}

TEST(CatalogLayout, AnIDIsOneFolderNameAndNothingElse) {
    CatalogLayout layout("/data/Catalogs");
    for (std::string_view bad :
         {std::string_view(""), std::string_view("."), std::string_view(".."),
          std::string_view("../x"), std::string_view("a/b"), std::string_view("/abs"),
          std::string_view("a\0b", 3)}) {
        EXPECT_FALSE(CatalogLayout::isValidID(bad));
        EXPECT_THROW(layout.directory(bad), std::invalid_argument);
        EXPECT_THROW(layout.infoURL(bad), std::invalid_argument);
        EXPECT_THROW(layout.markerURL(bad), std::invalid_argument);
    }
    for (std::string_view good : {"...", ".hidden", "5C0D-UUID", "a..b", "\xff"})
        EXPECT_TRUE(CatalogLayout::isValidID(good)) << good;
}

TEST(CatalogLayout, ListsFoldersThatHoldAnInfoFileInByteOrder) {
    TempDir dir;
    EXPECT_TRUE(CatalogLayout(dir / "missing").catalogIDs().empty());
    touch(dir / "plain");
    EXPECT_TRUE(CatalogLayout(dir / "plain").catalogIDs().empty()); // root is a file

    for (const char* id : {"b", "B", "a", ".hidden", "setup", "damaged"})
        std::filesystem::create_directory(dir / id);
    for (const char* id : {"b", "B", "a", ".hidden"})
        touch(dir / id / "info.json");
    std::ofstream(dir / "damaged" / "info.json") << "{not json";
    touch(dir / "info.json"); // would be "./info.json"
    EXPECT_EQ(CatalogLayout(dir.path()).catalogIDs(),
              (std::vector<std::string>{".hidden", "B", "a", "b", "damaged"}));
}

} // namespace
} // namespace ulmaro
