#include "UlmaroKit/Catalogs/EFUImporter.h"
#include "UlmaroKit/Platform/MappedFile.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

EFUImporter::Result importFixture(const char* name) {
    auto file = MappedFile::open(std::filesystem::path(ULMARO_FIXTURES_DIR) / "efu" / name);
    return EFUImporter::build(file.bytes());
}

TEST(EFUFixtures, WindowsListWithMarkCrlfQuotesAndShares) {
    auto result = importFixture("windows-bom-crlf.efu");
    const auto& b = result.builder;
    std::vector<std::string> names;
    for (std::uint32_t id = 0; id < b.records.size(); ++id)
        names.push_back(b.name(id));
    EXPECT_EQ(names,
              (std::vector<std::string>{"C:", "Projects", "Budget, final \"v2\".xlsx", "notes.txt",
                                        "//fileserver/share", "Reports", "q1.pdf"}));
    EXPECT_EQ(b.records[1].mtime, 1703059200u); // the folder row after its files
    EXPECT_EQ(b.records[1].size, 20600u);
    EXPECT_EQ(b.records[6].mtime, 1704063599u);
    EXPECT_EQ(result.stats.fileCount, 3);
    EXPECT_EQ(result.stats.folderCount, 4);
    EXPECT_EQ(result.stats.totalBytes, 25600u);
}

TEST(EFUFixtures, ShortRowIsReportedOnItsLine) {
    try {
        importFixture("short-row.efu");
        FAIL();
    } catch (const EFUImporter::EFUError& e) {
        EXPECT_EQ(e, EFUImporter::EFUError::malformedRow(5));
    }
}

} // namespace
} // namespace ulmaro
