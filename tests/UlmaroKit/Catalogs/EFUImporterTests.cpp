#include "UlmaroKit/Catalogs/EFUImporter.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using EFUError = EFUImporter::EFUError;

std::span<const unsigned char> bytesOf(std::string_view s) {
    return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

struct Row {
    std::int64_t line;
    std::vector<std::string> fields;
    bool operator==(const Row&) const = default;
};

std::vector<Row> rowsOf(std::string_view csv) {
    std::vector<Row> rows;
    EFUImporter::parseCSV(bytesOf(csv), [&](std::int64_t line, const std::vector<std::string>& f) {
        rows.push_back({line, f});
    });
    return rows;
}

EFUError errorOf(std::string_view csv) {
    try {
        EFUImporter::build(bytesOf(csv));
    } catch (const EFUError& e) {
        return e;
    }
    ADD_FAILURE() << "no error for " << csv;
    return EFUError::missingFilenameColumn();
}

// Records as "parent:name:flags:size:mtime", in ID order.
std::vector<std::string> describe(const IndexBuilder& b) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < b.records.size(); ++i) {
        const auto& r = b.records[i];
        out.push_back((r.parentID == FileRecord::rootParentID ? std::string("-")
                                                              : std::to_string(r.parentID)) +
                      ":" + b.name(static_cast<std::uint32_t>(i)) + ":" +
                      (r.flags.contains(RecordFlags::isDirectory) ? "d" : "f") + ":" +
                      std::to_string(r.size) + ":" + std::to_string(r.mtime));
    }
    return out;
}

TEST(EFUImporter, ParsesCsvBytes) {
    EXPECT_EQ(rowsOf("\xEF\xBB\xBF"
                     "a,b\r\n\r\n\"x,\"\"y\"\"\nz\",2\nlast\r"),
              (std::vector<Row>{{1, {"a", "b"}}, {3, {"x,\"y\"\nz", "2"}}, {5, {"last"}}}));
    EXPECT_EQ(rowsOf("ab\"c,d\"e\n  \n,\n"),
              (std::vector<Row>{{1, {"abc,de"}}, {2, {"  "}}, {3, {"", ""}}}));
    EXPECT_EQ(rowsOf("a\rb\n\xFF"), (std::vector<Row>{{1, {"a\rb"}}, {2, {"\xEF\xBF\xBD"}}}));
    EXPECT_TRUE(rowsOf("").empty());
    EXPECT_TRUE(rowsOf("\n\n").empty());
    try {
        rowsOf("h\n\n\n\n\n\nx,\"open\nmore\nlines\n");
        FAIL();
    } catch (const EFUError& e) {
        EXPECT_EQ(e, EFUError::malformedRow(7));
    }
}

TEST(EFUImporter, SplitsListedPaths) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"C:\\Users\\ann\\notes.txt", {"C:", "Users", "ann", "notes.txt"}},
        {"C:\\Users\\ann\\", {"C:", "Users", "ann"}},
        {"C:\\\\Users\\\\ann", {"C:", "Users", "ann"}},
        {"\\\\nas\\media\\films\\a.mkv", {"//nas/media", "films", "a.mkv"}},
        {"\\\\nas", {}},
        {"\\\\nas\\", {}},
        {"C:\\a\\..\\b", {}},
        {"C:\\.\\b", {}},
        {"C:\\a/b\\c", {}},
        {"notes.txt", {"notes.txt"}},
        {"", {}},
    };
    for (const auto& [path, parts] : cases)
        EXPECT_EQ(EFUImporter::components(path), parts) << path;
}

TEST(EFUImporter, ReadsAttributesAndDates) {
    const std::pair<std::string, std::optional<std::uint32_t>> integers[] = {
        {"0x10", 16},
        {"0X10", 16},
        {" 16 ", 16},
        {"48", 48},
        {"0x", std::nullopt},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"4294967296", std::nullopt},
        {"0xFFFFFFFF", 4294967295u},
        {"0x1g", std::nullopt}};
    for (const auto& [text, value] : integers)
        EXPECT_EQ(EFUImporter::integer(text), value) << text;

    const std::pair<std::string, std::optional<std::uint32_t>> dates[] = {
        {"132000000000000000", 1555526400u},
        {"2024-03-05T14:07:09Z", 1709647629u},
        {"2024-03-05T14:07:09.250+01:00", 1709644029u},
        {"1700000000", std::nullopt},
        {"116444736000000000", std::nullopt},
        {"116444736010000000", 1u},
        {"159394408960000000", 4294967295u},
        {"1969-12-31T23:59:59Z", std::nullopt},
        {"2024-02-30T00:00:00Z", std::nullopt},
        {"2024-03-05 14:07:09", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, value] : dates)
        EXPECT_EQ(EFUImporter::unixTime(text), value) << text;
}

TEST(EFUImporter, BuildsTheListedTreeWithFoldersMadeOnce) {
    std::string longName(300, 'n');
    auto result = EFUImporter::build(bytesOf(" FileName ,Size,Date Modified,ATTRIBUTES,extra\n"
                                             "C:\\a\\b.txt,10,132000000000000000,32\n"
                                             "c:\\A\\c.txt,+7,2024-03-05T14:07:09Z,\n"
                                             "C:\\a,999,132000000000000000,0x10\n"
                                             "C:\\a\\b.txt,-5,,\n"
                                             "C:\\a\\dir\\,12abc,,abc\n"
                                             "C:\\" +
                                             longName +
                                             ",1\n"
                                             "C:\\a\\..\\skipped,1,,\n"
                                             "\\\\nas\\share\\f,5,,\n"));
    std::string cut(255, 'n');
    EXPECT_EQ(
        describe(result.builder),
        (std::vector<std::string>{"-:C::d:18:0", "0:a:d:17:1555526400", "1:b.txt:f:10:1555526400",
                                  "1:c.txt:f:7:1709647629", "1:b.txt:f:0:0", "1:dir:f:0:0",
                                  "0:" + cut + ":f:1:0", "-://nas/share:d:5:0", "7:f:f:5:0"}));
    for (const auto& r : result.builder.records)
        EXPECT_TRUE(r.flags.contains(RecordFlags::attrsFilled));
    EXPECT_EQ(result.stats.fileCount, 6);
    EXPECT_EQ(result.stats.folderCount, 3);
    EXPECT_EQ(result.stats.totalBytes, 23u);
}

// Rows whose paths are refused add nothing, but are counted so that the import can say
// so; a row with an empty name is a blank row, not a refusal.
TEST(EFUImporter, CountsTheRowsItRefuses) {
    auto result = EFUImporter::build(bytesOf("Filename,Size\n"
                                             "C:\\a\\b.txt,1\n"
                                             "C:\\a\\..\\c.txt,1\n"
                                             "/home/ann/d.txt,1\n"
                                             "C:\\.\\e.txt,1\n"
                                             ",5\n"));
    EXPECT_EQ(result.stats.fileCount, 1);
    EXPECT_EQ(result.rows, 4);
    EXPECT_EQ(result.refusedRows, 3);
    EXPECT_EQ(EFUImporter::build(bytesOf("Filename\nC:\\x\n")).refusedRows, 0);
}

TEST(EFUImporter, FolderNamesMatchWithoutCaseOrNormalForm) {
    auto result = EFUImporter::build(bytesOf("Filename,Attributes\n"
                                             "C:\\Caf\xC3\xA9\\x,0\n"
                                             "c:\\CAFE\xCC\x81\\y,0\n"));
    ASSERT_EQ(result.builder.records.size(), 4u);
    EXPECT_EQ(result.builder.records[3].parentID, 1u);
    EXPECT_EQ(result.builder.name(1), "Caf\xC3\xA9");
}

TEST(EFUImporter, RefusesListsWithoutNamesOrWithShortRows) {
    EXPECT_EQ(errorOf(""), EFUError::missingFilenameColumn());
    EXPECT_EQ(errorOf("\xEF\xBB\xBF"), EFUError::missingFilenameColumn());
    EXPECT_EQ(errorOf("\n\n"), EFUError::missingFilenameColumn());
    EXPECT_EQ(errorOf("Name,Size\nC:\\a,1\n"), EFUError::missingFilenameColumn());
    EXPECT_EQ(errorOf("Size,Filename\n1,C:\\a\n\nonly\n"), EFUError::malformedRow(4));
    EXPECT_EQ(errorOf("Filename\n\"C:\\a\n"), EFUError::malformedRow(2));
    auto headerOnly = EFUImporter::build(bytesOf("Filename\n"));
    EXPECT_TRUE(headerOnly.builder.records.empty());
}

} // namespace
} // namespace ulmaro
