#include "UlmaroAppKit/Catalogs/CatalogPlacement.h"
#include "support/VolumeFixtures.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace ulmaro {
namespace {

using test::volume;
using Kind = CatalogInfo::Kind;

CatalogInfo catalog(std::string id, std::string uuid, std::string relative,
                    CatalogInfo::Kind kind = CatalogInfo::Kind::folder) {
    CatalogInfo info;
    info.id = id;
    info.name = "Name of " + id;
    info.kind = kind;
    info.volumeUUID = std::move(uuid);
    info.relativeRoot = std::move(relative);
    return info;
}

TEST(CatalogPlacement, CurrentRoot) {
    const std::vector<MountedVolume> mounted = {
        volume("BOOT", "/"), volume("PH", "/Volumes/Photos"), volume("BK", "/Volumes/Backup"),
        volume("PH", "/Volumes/PhotosAgain")};
    const std::set<std::string> present = {"/Volumes/Photos/2024/Trips", "/Users/ann/Work",
                                           "/Volumes/Backup", "/Volumes/PhotosAgain/Old"};
    auto exists = [&](const std::string& p) { return present.count(p) > 0; };
    struct Case {
        CatalogInfo info;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {catalog("a", "PH", "2024/Trips", CatalogInfo::Kind::drive), "/Volumes/Photos/2024/Trips"},
        {catalog("b", "PH", "2023"), std::nullopt},
        {catalog("c", "BOOT", "Users/ann/Work"), "/Users/ann/Work"},
        {catalog("d", "BK", "", CatalogInfo::Kind::drive), "/Volumes/Backup"},
        {catalog("e", "PH", "2024/Trips", CatalogInfo::Kind::efu), std::nullopt},
        {catalog("f", "GONE", ""), std::nullopt},
        // Only the first volume of a UUID is tried.
        {catalog("g", "PH", "Old"), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CatalogPlacement::currentRoot(c.info, mounted, exists), c.expected) << c.info.id;
}

TEST(CatalogPlacement, Locate) {
    const std::vector<MountedVolume> withBoot = {
        volume("BOOT", "/"), volume("PH", "/Volumes/Photos"), volume("PH2", "/Volumes/Photos")};
    const std::vector<MountedVolume> withoutBoot = {volume("PH", "/Volumes/Photos")};
    struct Case {
        std::string path;
        bool boot;
        std::optional<std::pair<std::string, std::string>> expected; // uuid, relative
    };
    const Case cases[] = {
        {"/Volumes/Photos/2024/", true, {{"PH", "2024"}}},
        {"/Volumes/Photos", true, {{"PH", ""}}},
        {"/Volumes/Photos///", true, {{"PH", ""}}},
        {"/Volumes/PhotosArchive/x", true, {{"BOOT", "Volumes/PhotosArchive/x"}}},
        {"/", true, {{"BOOT", ""}}},
        {"/Users/ann", false, std::nullopt},
        {"/Volumes/Photos/a", false, {{"PH", "a"}}},
        {"", true, std::nullopt},
        {"relative/path", true, std::nullopt},
    };
    for (const auto& c : cases) {
        auto found = CatalogPlacement::locate(c.path, c.boot ? withBoot : withoutBoot);
        ASSERT_EQ(found.has_value(), c.expected.has_value()) << c.path;
        if (!found) continue;
        EXPECT_EQ(found->volume.uuid, c.expected->first) << c.path;
        EXPECT_EQ(found->relative, c.expected->second) << c.path;
    }
}

TEST(CatalogPlacement, Check) {
    struct Case {
        std::string name;
        std::string relative;
        std::vector<CatalogInfo> existing;
        std::optional<std::string> conflict;
        std::vector<std::string> absorbs;
    };
    const Case cases[] = {
        {"whole drive over folder then drive",
         "",
         {catalog("f", "V", "a"), catalog("w", "V", "", Kind::drive)},
         "Name of w",
         {}},
        {"inside an existing root", "a/b", {catalog("a", "V", "a")}, "Name of a", {}},
        {"the same root", "a", {catalog("a", "V", "a")}, "Name of a", {}},
        {"absorbs children in order",
         "a",
         {catalog("ab", "V", "a/b"), catalog("ac", "V", "a/c")},
         std::nullopt,
         {"ab", "ac"}},
        {"a prefix that is no ancestor", "a", {catalog("x", "V", "ab")}, std::nullopt, {}},
        {"other volumes and file lists never count",
         "",
         {catalog("o", "OTHER", ""), catalog("e", "V", "", Kind::efu)},
         std::nullopt,
         {}},
        {"whole drive absorbs everything",
         "",
         {catalog("p", "V", "p"), catalog("q", "V", "q/r")},
         std::nullopt,
         {"p", "q"}},
    };
    for (const auto& c : cases) {
        auto result = CatalogPlacement::check("V", c.relative, c.existing);
        if (c.conflict) {
            ASSERT_TRUE(result.conflict.has_value()) << c.name;
            EXPECT_EQ(result.conflict->name, *c.conflict) << c.name;
        } else {
            EXPECT_FALSE(result.conflict.has_value()) << c.name;
        }
        EXPECT_EQ(result.absorbs, c.absorbs) << c.name;
    }
}

} // namespace
} // namespace ulmaro
