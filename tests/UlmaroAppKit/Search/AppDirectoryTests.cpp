#include "EngineTestSupport.h"
#include "UlmaroAppKit/Search/AppDirectory.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using test::FixtureIndex;

struct Apps {
    FixtureIndex index;
    std::uint32_t tte = index.app("/home/u/Apps/Tiny Text Editor.app");
    std::uint32_t calendar = index.app("/home/u/Apps/Calendar.app");
    std::uint32_t photoTool = index.app("/home/u/Apps/PhotoTool.app");
    std::uint32_t calculator = index.add("/usr/share/applications/org.gnome.Calculator.desktop",
                                         {.flags = RecordFlags::isApp});
    std::uint32_t notebook = index.app("/home/u/Apps/Notebook.app");
    std::uint32_t noteworthy = index.app("/home/u/Apps/Noteworthy Pro.app");
    std::uint32_t notes = index.app("/home/u/Apps/Notes.app");
    std::uint32_t note = index.app("/home/u/Apps/Note.app");
    std::uint32_t symbols = index.app("/home/u/Apps/\xE6\x97\xA5\xE6\x9C\xAC.app");
    std::uint32_t gone =
        index.add("/home/u/Apps/Tte Gone.app",
                  {.flags = FixtureIndex::dir | RecordFlags::isApp | RecordFlags::deleted});
    std::shared_ptr<const IndexStore> store = index.open();
    AppDirectory directory = AppDirectory::build(*store);

    std::vector<std::uint32_t> aliases(std::string_view text) const {
        return directory.aliases(AppDirectory::aliasKey(text));
    }
};

TEST(AppDirectory, AliasesByTheStartsOfWords) {
    const Apps apps;
    const std::pair<const char*, std::vector<std::uint32_t>> cases[] = {
        {"tte", {apps.tte}},
        {"TTE", {apps.tte}},
        {"ttexted", {apps.tte}},
        {"editor", {apps.tte}},
        {"te", {apps.tte}},
        {"et", {}},
        {"cale", {apps.calendar}},
        {"ndar", {}},
        {"pt", {apps.photoTool}},
        {"calc", {apps.calculator}},
        {"gc", {apps.calculator}},
        {"t", {}},
        {"t e", {}},
        {"t:e", {}},
        {"t|e", {}},
        {"!te", {}},
        {"/tte", {}},
        {"tt\xC3\xA9", {}},
        {"", {}},
        // Four match; the three shortest names, shortest first.
        {"no", {apps.note, apps.notes, apps.notebook}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(apps.aliases(text), expected) << text;
}

TEST(AppDirectory, KeepsOnlyApplicationsWithAWordStart) {
    const Apps apps;
    std::vector<std::uint32_t> ids;
    for (const auto& entry : apps.directory.entries())
        ids.push_back(entry.id);
    // No entry for a name without ASCII letters or digits, nor for a deleted record.
    EXPECT_EQ(ids, (std::vector{apps.tte, apps.calendar, apps.photoTool, apps.calculator,
                                apps.notebook, apps.noteworthy, apps.notes, apps.note}));
    const auto& photo = apps.directory.entries()[2];
    EXPECT_EQ(photo.folded, "phototool");
    EXPECT_EQ(photo.wordStarts, (std::vector<std::uint32_t>{0, 5}));
}

TEST(AppDirectory, AdmitsOnlyTextsThatCanBeAliases) {
    EXPECT_TRUE(AppDirectory::admitsAliases("te"));
    EXPECT_FALSE(AppDirectory::admitsAliases("t"));
    EXPECT_FALSE(AppDirectory::admitsAliases("\xC3\xA9t"));
    EXPECT_FALSE(AppDirectory::admitsAliases("a b"));
    EXPECT_EQ(AppDirectory::aliasKey("PhoTo"), "photo");
}

TEST(SearchEngineAliases, RowsComeFromTheMainIndex) {
    Apps apps;
    test::EngineHarness harness;
    const auto engine = harness.make({.store = apps.store});
    const auto rows = engine->appAliasRows("tte");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].id, apps.tte);
    EXPECT_EQ(rows[0].name, "Tiny Text Editor.app");
    EXPECT_EQ(rows[0].path, "/home/u/Apps/Tiny Text Editor.app");
    EXPECT_TRUE(rows[0].isApp);
    EXPECT_TRUE(rows[0].isDirectory);
    EXPECT_EQ(rows[0].matchByteLength, 0);
    EXPECT_TRUE(rows[0].matchRanges.empty());
    EXPECT_TRUE(rows[0].origin.isMac());
}

} // namespace
} // namespace ulmaro
