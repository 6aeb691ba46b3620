#include "FixtureIndex.h"
#include "UlmaroAppKit/Search/SuggestionSeeder.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using test::FixtureIndex;
using test::ScopedEnv;
using test::TempDir;
using Folder = SuggestionSeeder::WellKnownFolder;

const std::vector<Folder> englishFolders = {{"/home/u/Desktop", 1},   {"/home/u/Documents", 1},
                                            {"/home/u/Downloads", 1}, {"/home/u/Music", 2},
                                            {"/home/u/Pictures", 2},  {"/home/u/Videos", 2}};

std::vector<std::string> suggested(FixtureIndex& index,
                                   const std::vector<Folder>& folders = englishFolders) {
    const auto store = index.open();
    std::vector<std::string> paths;
    for (const RankedRow& row : SuggestionSeeder::seed(*store, folders).rows)
        paths.push_back(row.path);
    return paths;
}

using Paths = std::vector<std::string>;

TEST(SuggestionSeeder, OnlyVisibleNamesWithARecognisedExtensionAreCandidates) {
    FixtureIndex index;
    index.add("/home/u/Desktop/README");
    index.add("/home/u/Desktop/.profile.txt");
    index.add("/home/u/Desktop/notes.");
    index.add("/home/u/Desktop/gone.pdf", {.flags = RecordFlags::deleted});
    index.add("/home/u/Desktop/archive.tar.gz");
    index.folder("/home/u/Desktop/folder.pdf");
    index.add("/home/u/Desktop/PHOTO.JPG");
    // The hidden flag is not the leading dot: such a file is still suggested.
    index.add("/home/u/Desktop/flagged.md", {.flags = RecordFlags::isHidden});
    EXPECT_EQ(suggested(index), (Paths{"/home/u/Desktop/PHOTO.JPG", "/home/u/Desktop/flagged.md"}));
}

TEST(SuggestionSeeder, TheExtensionIsWhatFollowsTheLastDotWithAsciiLettersFolded) {
    const struct {
        const char* name;
        bool suggested;
    } cases[] = {
        {"a.pdf", true},
        {"Budget 2024.NUMBERS", true},
        {"x.numbersx", false},
        {"x.pdfx", false},
        {"report.pdf.bak", false},
        {"backup.bak.pdf", true},
        {"r\xC3\xA9sum\xC3\xA9.Pdf", true},
        {"x.p\xC3\xA9"
         "f",
         false},
        {"x.PD\xC6\x91", false}, // a letter beyond ASCII is not folded
        {"pdf", false},
        {"a.", false},
        {".md", false},
        {"a very long name without any dot at all and then some.md", true},
        {"a very long name. with a dot far from the end", false},
    };
    for (const auto& c : cases) {
        FixtureIndex index;
        index.add(std::string("/home/u/Desktop/") + c.name);
        EXPECT_EQ(suggested(index).size(), c.suggested ? 1u : 0u) << c.name;
    }
}

TEST(SuggestionSeeder, TiersComeFirstAndShallowFoldersBeforeDeepOnes) {
    FixtureIndex index;
    index.add("/home/u/top.pdf");
    index.add("/home/u/Documents/x/y/deep.pdf");
    index.add("/home/u/Pictures/p.png");
    index.add("/home/u/Documents/shallow.pdf");
    // Only the well-known folders directly inside home start a tier.
    index.add("/home/u/work/Documents/elsewhere.pdf");
    EXPECT_EQ(suggested(index),
              (Paths{"/home/u/Documents/shallow.pdf", "/home/u/Documents/x/y/deep.pdf",
                     "/home/u/Pictures/p.png"}));

    FixtureIndex untiered;
    untiered.add("/home/u/work/Documents/elsewhere.pdf");
    untiered.add("/home/u/top.pdf");
    untiered.add("/home/u/Music/m.mp3");
    EXPECT_EQ(suggested(untiered), (Paths{"/home/u/Music/m.mp3", "/home/u/top.pdf",
                                          "/home/u/work/Documents/elsewhere.pdf"}));
}

TEST(SuggestionSeeder, NothingBelowAnExcludedFolderIsSuggested) {
    FixtureIndex index;
    index.add("/home/u/Library/Caches/a.pdf");
    index.add("/Library/b.pdf");
    index.add("/home/u/Documents/site/node_modules/pkg/readme.md");
    index.add("/home/u/Documents/repo/.git/c.txt");
    index.add("/home/u/Documents/deep/Library/d.txt");
    index.add("/home/u/library/ok.txt"); // compared with case
    EXPECT_EQ(suggested(index), (Paths{"/home/u/library/ok.txt"}));
}

TEST(SuggestionSeeder, NothingBelowAHiddenFolderIsSuggested) {
    // A home as it is: caches, settings and the Trash lie shallower than the documents.
    FixtureIndex index;
    index.add("/home/u/.cache/thumbnails/large/3f2a.png");
    index.add("/home/u/.config/app/notes.md");
    index.add("/home/u/.local/share/Trash/files/old-report.pdf");
    index.add("/home/u/Documents/.drafts/plan.txt");
    index.add("/home/u/.hidden.txt");
    index.add("/home/u/Documents/projects/2024/report.pdf");
    index.add("/home/u/Pictures/trip/beach.jpg");
    index.add("/home/u/notes.txt");
    EXPECT_EQ(suggested(index), (Paths{"/home/u/Documents/projects/2024/report.pdf",
                                       "/home/u/Pictures/trip/beach.jpg", "/home/u/notes.txt"}));
}

TEST(SuggestionSeeder, OneFilePerFolderWhileOthersRemain) {
    FixtureIndex twoInDesktop;
    twoInDesktop.add("/home/u/Desktop/one.pdf");
    twoInDesktop.add("/home/u/Desktop/two.pdf");
    EXPECT_EQ(suggested(twoInDesktop),
              (Paths{"/home/u/Desktop/one.pdf", "/home/u/Desktop/two.pdf"}));

    FixtureIndex index;
    index.add("/home/u/Desktop/d1.pdf");
    index.add("/home/u/Desktop/d2.pdf");
    index.add("/home/u/Desktop/d3.pdf");
    index.add("/home/u/Downloads/get.zip");
    EXPECT_EQ(suggested(index), (Paths{"/home/u/Desktop/d1.pdf", "/home/u/Downloads/get.zip",
                                       "/home/u/Desktop/d2.pdf"}));

    // A folder of many files hides neither the folders after it at the same depth nor
    // the deeper ones.
    const struct {
        Paths others;
        Paths expected;
    } crowded[] = {
        {{"/home/u/work/few/g.txt", "/home/u/work/other/h.txt"},
         {"/home/u/work/many/f0.txt", "/home/u/work/few/g.txt", "/home/u/work/other/h.txt"}},
        {{},
         {"/home/u/work/many/f0.txt", "/home/u/work/deeper/x/deep.txt",
          "/home/u/work/many/f1.txt"}},
    };
    for (const auto& c : crowded) {
        FixtureIndex many;
        for (int i = 0; i < 20; ++i)
            many.add("/home/u/work/many/f" + std::to_string(i) + ".txt");
        many.add("/home/u/work/deeper/x/deep.txt");
        for (const std::string& path : c.others)
            many.add(path);
        EXPECT_EQ(suggested(many), c.expected);
    }
}

TEST(SuggestionSeeder, WithoutDocumentsApplicationsAreSuggestedShortestPathsFirst) {
    const RecordFlags app = RecordFlags::isApp;
    FixtureIndex index;
    index.add("/home/u/notes"); // no extension: no candidate
    index.app("/Applications/Longer Name.app");
    index.app("/Applications/Mail.app/Contents/Helper.app"); // inside another bundle
    index.app("/Applications/Mail.app");
    index.app("/Applications/Secret.app");
    index.add("/usr/share/applications/ed.desktop", {.flags = app});
    index.add("/home/u/bin/Tool.AppImage", {.flags = app});
    index.add("/usr/share/applications/hidden.desktop", {.flags = app | RecordFlags::isHidden});
    // By length Mail, Secret, Tool, Longer Name, ed; then one per folder.
    EXPECT_EQ(suggested(index), (Paths{"/Applications/Mail.app", "/home/u/bin/Tool.AppImage",
                                       "/usr/share/applications/ed.desktop"}));

    FixtureIndex oneFolder;
    oneFolder.app("/Applications/Bbbbbb.app");
    oneFolder.app("/Applications/A.app");
    oneFolder.app("/Applications/Ccc.app");
    oneFolder.app("/Tools/Dddddddddddddd.app");
    EXPECT_EQ(suggested(oneFolder),
              (Paths{"/Applications/A.app", "/Tools/Dddddddddddddd.app", "/Applications/Ccc.app"}));
}

TEST(SuggestionSeeder, RowsCarryRecordFactsButNoSizeOrDate) {
    FixtureIndex index;
    const std::uint32_t id =
        index.add("/home/u/Desktop/plan.pdf", {.size = 4096, .mtime = 1'700'000'000});
    const auto store = index.open();
    const auto rows = SuggestionSeeder::seed(*store, englishFolders).rows;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0],
              (RankedRow{.id = id, .name = "plan.pdf", .path = "/home/u/Desktop/plan.pdf"}));

    FixtureIndex empty;
    EXPECT_TRUE(SuggestionSeeder::seed(*empty.open(), englishFolders).rows.empty());
}

struct UserDirs {
    TempDir config;
    ScopedEnv home{"HOME", "/home/u"};
    ScopedEnv xdg{"XDG_CONFIG_HOME", config.path().string()};

    void write(const std::string& text) { std::ofstream(config / "user-dirs.dirs") << text; }
};

TEST(SuggestionSeeder, WellKnownFoldersFollowTheUsersDirectories) {
    UserDirs dirs;
    EXPECT_EQ(SuggestionSeeder::wellKnownFolders("/home/u"), englishFolders);

    dirs.write("XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
               "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
               "XDG_DOWNLOAD_DIR=\"$HOME\"\n"   // not set up: the English name
               "XDG_MUSIC_DIR=\"/srv/music\"\n" // not inside home: no tier
               "XDG_PICTURES_DIR=\"$HOME/media/Bilder\"\n"
               "XDG_VIDEOS_DIR=\"/home/u/Filme/\"\n");
    EXPECT_EQ(SuggestionSeeder::wellKnownFolders("/home/u"),
              (std::vector<Folder>{{"/home/u/Schreibtisch", 1},
                                   {"/home/u/Dokumente", 1},
                                   {"/home/u/Downloads", 1},
                                   {"/home/u/Filme", 2}}));

    FixtureIndex index;
    index.add("/home/u/Documents/english.pdf");
    index.add("/home/u/media/Bilder/b.png");
    index.add("/home/u/Filme/f.mp4");
    index.add("/home/u/Dokumente/d.pdf");
    const auto store = index.open();
    std::vector<std::string> paths;
    for (const RankedRow& row : SuggestionSeeder::seed(*store, "/home/u").rows)
        paths.push_back(row.path);
    EXPECT_EQ(paths, (Paths{"/home/u/Dokumente/d.pdf", "/home/u/Filme/f.mp4",
                            "/home/u/Documents/english.pdf"}));
}

} // namespace
} // namespace ulmaro
