#include "UlmaroKit/Catalogs/CatalogError.h"
#include "UlmaroKit/Catalogs/CatalogInfo.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace ulmaro {
namespace {

using namespace std::chrono;
using test::TempDir;

void writeText(const std::filesystem::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

std::string readText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

CatalogInfo::Date at(int y, unsigned m, unsigned d, int h, int mi, int s) {
    return sys_days(year(y) / month(m) / day(d)) + hours(h) + minutes(mi) + seconds(s);
}

CatalogInfo fullRecord() {
    CatalogInfo info;
    info.id = "0F3C-11";
    info.kind = CatalogInfo::Kind::folder;
    info.volumeUUID = "A1B2";
    info.relativeRoot = "2020/May";
    info.name = "Photos — May";
    info.lastMountPath = "/media/ann/Photos";
    info.capacityBytes = 500'000'000'000;
    info.freeBytes = 12;
    info.fileCount = 40;
    info.folderCount = 3;
    info.totalBytes = 18'446'744'073'709'551'615ull;
    info.rootRecordID = 4'294'967'295u;
    info.lastConnected = at(2024, 5, 1, 12, 0, 0);
    info.lastCatalogued = at(1969, 12, 31, 23, 59, 59);
    return info;
}

// A complete, valid file with one field replaced (or removed when `value` is null).
std::string fileWith(const char* key, const nlohmann::json* value) {
    nlohmann::json j = {{"formatVersion", 1},    {"id", "x"},          {"kind", "drive"},
                        {"volumeUUID", "u"},     {"relativeRoot", ""}, {"name", "n"},
                        {"lastMountPath", "/m"}, {"fileCount", 1},     {"folderCount", 2},
                        {"totalBytes", 3}};
    if (key != nullptr) {
        if (value != nullptr)
            j[key] = *value;
        else
            j.erase(key);
    }
    return j.dump();
}

CatalogError::Kind errorReading(const std::filesystem::path& p, std::int64_t* found = nullptr) {
    try {
        CatalogInfo::read(p);
    } catch (const CatalogError& e) {
        if (found != nullptr) *found = e.found();
        return e.kind();
    }
    ADD_FAILURE() << "read succeeded";
    return CatalogError::Kind::damagedIndex;
}

TEST(CatalogInfo, RoundTripsEveryFieldThroughASortedPrettyFile) {
    TempDir dir;
    auto path = dir / "new" / "folder" / "info.json"; // the folder does not exist yet
    CatalogInfo info = fullRecord();
    info.write(path);
    EXPECT_EQ(CatalogInfo::read(path), info);

    std::string text = readText(path);
    const char* order[] = {"capacityBytes", "fileCount",      "folderCount",
                           "formatVersion", "freeBytes",      "id",
                           "kind",          "lastCatalogued", "lastConnected",
                           "lastMountPath", "name",           "relativeRoot",
                           "rootRecordID",  "totalBytes",     "volumeUUID"};
    std::size_t last = 0;
    for (const char* key : order) {
        std::size_t at = text.find('"' + std::string(key) + '"');
        ASSERT_NE(at, std::string::npos) << key;
        EXPECT_GT(at, last) << key;
        last = at;
    }
    EXPECT_NE(text.find("\"lastCatalogued\": \"1969-12-31T23:59:59Z\""), std::string::npos);
    EXPECT_NE(text.find("\"kind\": \"folder\""), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 17); // one key per line
    EXPECT_FALSE(std::filesystem::exists(path.string() + ".tmp"));
}

TEST(CatalogInfo, LeavesOutAbsentOptionalsAndDropsUnknownKeys) {
    TempDir dir;
    CatalogInfo info;
    info.id = "c";
    info.kind = CatalogInfo::Kind::efu;
    info.write(dir / "info.json");
    std::string text = readText(dir / "info.json");
    for (const char* key :
         {"capacityBytes", "freeBytes", "rootRecordID", "lastConnected", "lastCatalogued", "null"})
        EXPECT_EQ(text.find(key), std::string::npos) << key;
    EXPECT_EQ(CatalogInfo::read(dir / "info.json"), info);

    nlohmann::json j = nlohmann::json::parse(fileWith(nullptr, nullptr));
    j["futureKey"] = {1, 2};
    j["capacityBytes"] = nullptr; // null counts as absent
    writeText(dir / "extra.json", j.dump());
    CatalogInfo read = CatalogInfo::read(dir / "extra.json");
    EXPECT_FALSE(read.capacityBytes.has_value());
    read.write(dir / "extra.json");
    EXPECT_EQ(readText(dir / "extra.json").find("futureKey"), std::string::npos);
}

TEST(CatalogInfo, DatesKeepWholeSecondsOnly) {
    TempDir dir;
    CatalogInfo info;
    info.lastCatalogued = at(2024, 2, 29, 8, 30, 15) + milliseconds(750);
    info.write(dir / "info.json");
    CatalogInfo read = CatalogInfo::read(dir / "info.json");
    EXPECT_NE(read, info);
    EXPECT_EQ(read.lastCatalogued, at(2024, 2, 29, 8, 30, 15));

    struct Case {
        const char* text;
        std::optional<CatalogInfo::Date> expected;
    } cases[] = {
        {"2024-02-29T08:30:15Z", at(2024, 2, 29, 8, 30, 15)},
        {"2024-02-29T10:30:15+02:00", at(2024, 2, 29, 8, 30, 15)},
        {"2024-02-29T00:00:00-01:30", at(2024, 2, 29, 1, 30, 0)},
        {"2024-02-29T08:30:15.5Z", std::nullopt},
        {"2023-02-29T08:30:15Z", std::nullopt},
        {"2024-02-29 08:30:15Z", std::nullopt},
        {"2024-02-29T08:30:15", std::nullopt},
        {"2024-02-29T24:00:00Z", std::nullopt},
        {"2024-02-29T08:30:15+0200", std::nullopt},
        {"2024-02-29", std::nullopt},
        {"9999-01-01T00:00:00Z", std::nullopt}, // beyond what the clock can hold
    };
    for (const auto& c : cases)
        EXPECT_EQ(CatalogInfo::parseDate(c.text), c.expected) << c.text;
}

TEST(CatalogInfo, FormatVersionDecidesFirst) {
    TempDir dir;
    auto path = dir / "info.json";
    std::int64_t found = 0;
    writeText(path, R"({"formatVersion": 2, "kind": 7})"); // the rest would not decode
    EXPECT_EQ(errorReading(path, &found), CatalogError::Kind::unsupportedFormat);
    EXPECT_EQ(found, 2);
    EXPECT_EQ(CatalogError::unsupportedFormat(2), CatalogError::unsupportedFormat(2));
    EXPECT_NE(CatalogError::unsupportedFormat(2), CatalogError::unsupportedFormat(3));

    nlohmann::json zero = 0;
    writeText(path, fileWith("formatVersion", &zero));
    CatalogInfo old = CatalogInfo::read(path);
    EXPECT_EQ(old.formatVersion, 0);
    old.write(path);
    EXPECT_EQ(CatalogInfo::read(path).formatVersion, 0);
}

TEST(CatalogInfo, EveryOtherFailureIsUnreadable) {
    TempDir dir;
    auto path = dir / "info.json";
    nlohmann::json text = "1", fraction = 1.5, capital = "Drive", negative = -1,
                   tooBig = 4294967296ull, huge = 18446744073709551615ull,
                   badDate = "2024-01-01T00:00:00.000Z", number = 5;
    struct Case {
        const char* key;
        const nlohmann::json* value;
    } cases[] = {
        {"formatVersion", nullptr},
        {"formatVersion", &text},
        {"formatVersion", &fraction},
        {"formatVersion", &huge},
        {"kind", &capital},
        {"id", nullptr},
        {"id", &number},
        {"totalBytes", &negative},
        {"rootRecordID", &tooBig},
        {"fileCount", &huge},
        {"lastCatalogued", &badDate},
        {"lastConnected", &number},
        {"folderCount", &fraction},
    };
    for (const auto& c : cases) {
        writeText(path, fileWith(c.key, c.value));
        EXPECT_EQ(errorReading(path), CatalogError::Kind::unreadableInfo)
            << c.key << " " << (c.value ? c.value->dump() : "missing");
    }
    for (std::string bad : {"", "not json", "[1]", "{\"formatVersion\": 1", "\"x\""}) {
        writeText(path, bad);
        EXPECT_EQ(errorReading(path), CatalogError::Kind::unreadableInfo) << bad;
    }
    writeText(path, fileWith(nullptr, nullptr));
    std::string invalidUtf8 = readText(path);
    invalidUtf8.replace(invalidUtf8.find("\"n\""), 3, "\"\xff\"");
    writeText(path, invalidUtf8);
    EXPECT_EQ(errorReading(path), CatalogError::Kind::unreadableInfo);
    EXPECT_EQ(errorReading(dir / "missing.json"), CatalogError::Kind::unreadableInfo);
    EXPECT_EQ(errorReading(dir.path()), CatalogError::Kind::unreadableInfo);
}

TEST(CatalogInfo, WriteFailureLeavesThePreviousFile) {
    TempDir dir;
    CatalogInfo info = fullRecord();
    info.write(dir / "info.json");
    CatalogInfo changed = info;
    changed.name = "bad \xff name"; // JSON cannot hold these bytes
    EXPECT_ANY_THROW(changed.write(dir / "info.json"));
    EXPECT_EQ(CatalogInfo::read(dir / "info.json"), info);

    writeText(dir / "file", "");
    EXPECT_THROW(info.write(dir / "file" / "info.json"), std::system_error);
}

TEST(CatalogInfo, KindsAndJoining) {
    EXPECT_EQ(CatalogInfo::kindFromRawValue("efu"), CatalogInfo::Kind::efu);
    EXPECT_EQ(CatalogInfo::kindFromRawValue("Drive"), std::nullopt);
    EXPECT_EQ(CatalogInfo::rawValue(CatalogInfo::Kind::folder), "folder");

    EXPECT_EQ(CatalogInfo::join("/", "Users/ann"), "/Users/ann");
    EXPECT_EQ(CatalogInfo::join("/Volumes/Photos", ""), "/Volumes/Photos");
    EXPECT_EQ(CatalogInfo::join("/Volumes/Photos", "2020/May"), "/Volumes/Photos/2020/May");
    CatalogInfo info;
    info.lastMountPath = "/media/x/";
    info.relativeRoot = "a";
    EXPECT_EQ(info.rootPath(), "/media/x//a"); // nothing is normalised
}

} // namespace
} // namespace ulmaro
