#include "OverlayViewModelFixture.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using namespace test;
using Empty = OverlayViewModel::EmptySelection;
using State = OverlayViewModel::ResultState;
using Strings = std::vector<std::string>;

TEST(OverlayViewModelActions, OpenRecordsTheQueryThenTheFileThenRankingThenHidesThenOpens) {
    OverlayFixture f;
    auto& m = *f.model;
    m.activeFilter.set(QuickFilter(QuickFilter::images));
    f.showRows({row(1, "/p/cat.png"), row(2, "/p/cat.jpg")}, "cat", /*total=*/40);
    const std::string effective = m.effectiveQuery();
    ASSERT_NE(effective, "cat");
    f.events.clear();

    m.moveSelection(+1);
    EXPECT_TRUE(m.openSelected());
    EXPECT_EQ(f.events, (Strings{"search " + effective + " 40", "file /p/cat.jpg",
                                 "frecency /p/cat.jpg", "dismiss", "open /p/cat.jpg"}));
    EXPECT_EQ(f.recents->recentFiles()[0].name, "cat.jpg");

    // The row-level form selects first.
    f.events.clear();
    EXPECT_TRUE(m.open(row(1, "/p/cat.png")));
    EXPECT_EQ(m.selectedID.get(), 1u);
    EXPECT_EQ(f.events.back(), "open /p/cat.png");
}

TEST(OverlayViewModelActions, AnOfflineRowSetsTheNoticeOrOpensTheCatalog) {
    OverlayFixture f;
    auto& m = *f.model;
    f.showRows({row(1, "/mnt/backup/a.txt", offlineCatalog("Backup"))}, "a");
    f.events.clear();

    EXPECT_FALSE(m.openSelected());
    EXPECT_EQ(m.offlineNotice.get(), "Connect Backup to open this.");
    m.offlineNotice.set(std::nullopt);
    EXPECT_FALSE(m.openTerminalAtSelected());
    EXPECT_EQ(m.offlineNotice.get(), "Connect Backup to open this.");
    EXPECT_FALSE(m.trashSelected());
    EXPECT_TRUE(f.events.empty());

    EXPECT_TRUE(m.revealSelected());
    EXPECT_EQ(f.events, Strings{"catalog /mnt/backup/a.txt"});

    // Its path and name can still be copied.
    EXPECT_TRUE(m.copySelectedPath());
    EXPECT_TRUE(m.copySelectedName());
    EXPECT_EQ(f.actions->copied, (Strings{"/mnt/backup/a.txt", "a.txt"}));
    EXPECT_TRUE(f.actions->revealed.empty());
    EXPECT_TRUE(f.actions->trashed.empty());
    EXPECT_TRUE(f.actions->terminalFolders.empty());
    EXPECT_TRUE(f.recents->recentSearches().empty());
}

TEST(OverlayViewModelActions, ReturnOnTheEmptyPanel) {
    OverlayFixture f;
    auto& m = *f.model;
    const WallTime t = f.clock->now();
    f.recents->recordOpened("/home/u/a.txt", "a.txt", t);
    f.recents->recordSearch("invoice", 3, t);
    f.events.clear();

    EXPECT_FALSE(m.openSelected()) << "nothing highlighted";

    m.emptySelection.set(Empty::file("/home/u/a.txt"));
    f.clock->advance(Seconds(5));
    EXPECT_TRUE(m.openSelected());
    EXPECT_EQ(f.events, (Strings{"file /home/u/a.txt", "dismiss", "open /home/u/a.txt"}));
    EXPECT_EQ(f.recents->recentFiles()[0].openedAt, f.clock->now());

    f.events.clear();
    m.emptySelection.set(Empty::file("/home/u/forgotten.txt"));
    EXPECT_FALSE(m.openSelected());
    EXPECT_TRUE(f.events.empty());

    m.emptySelection.set(Empty::search("invoice"));
    EXPECT_FALSE(m.openSelected()) << "a recent search runs again and the panel stays";
    EXPECT_EQ(m.queryText.get(), "invoice");
    EXPECT_EQ(f.engine->texts().back(), "invoice");
    EXPECT_TRUE(f.events.empty());
}

TEST(OverlayViewModelActions, RevealCopyAndWhatRecordsTheSearch) {
    OverlayFixture f;
    auto& m = *f.model;
    auto r = row(1, "/home/u/notes.md");
    f.showRows({r}, "notes", /*total=*/7);
    f.events.clear();

    EXPECT_TRUE(m.copyName(r));
    EXPECT_TRUE(m.copyPath(r));
    EXPECT_EQ(f.actions->copied, (Strings{"notes.md", "/home/u/notes.md"}));
    EXPECT_TRUE(f.events.empty()) << "copying records nothing";

    EXPECT_TRUE(m.reveal(r));
    EXPECT_EQ(f.actions->revealed, Strings{"/home/u/notes.md"});
    EXPECT_EQ(f.events, Strings{"search notes 7"});
    EXPECT_TRUE(f.recents->recentFiles().empty());

    f.actions->availableApplications = {"/usr/share/applications/gedit.desktop"};
    EXPECT_EQ(m.applicationsForSelected(), f.actions->availableApplications);

    // With nothing to act on every action says so and does nothing.
    f.search("zzz", SearchOutcome::noMatches());
    f.actions->copied.clear();
    EXPECT_FALSE(m.revealSelected());
    EXPECT_FALSE(m.copySelectedPath());
    EXPECT_FALSE(m.copySelectedName());
    EXPECT_FALSE(m.openTerminalAtSelected());
    EXPECT_FALSE(m.findCopiesOfSelected());
    EXPECT_TRUE(m.applicationsForSelected().empty());
    EXPECT_TRUE(f.actions->copied.empty());
    EXPECT_EQ(f.actions->revealed.size(), 1u);
}

TEST(OverlayViewModelActions, RecentFileTargetsAndTheirRowLevelForms) {
    TempDir dir;
    std::filesystem::create_directory(dir / "docs");
    OverlayFixture f;
    auto& m = *f.model;
    const std::string folder = (dir / "docs").string();
    f.recents->recordOpened(folder, "docs", f.clock->now());
    const RecentFileEntry entry = f.recents->recentFiles()[0];

    m.select(entry);
    EXPECT_EQ(m.actionTarget(), (OverlayViewModel::ActionTarget{folder, "docs", true}));
    EXPECT_TRUE(m.copyName(entry));
    EXPECT_TRUE(m.copyPath(entry));
    EXPECT_TRUE(m.reveal(entry));
    EXPECT_EQ(f.actions->copied, (Strings{"docs", folder}));
    EXPECT_EQ(f.actions->revealed, Strings{folder});
    EXPECT_FALSE(m.trashSelected()) << "only a result row goes to the Trash";

    m.emptySelection.set(Empty::search("docs"));
    EXPECT_EQ(m.actionTarget(), std::nullopt);
}

TEST(OverlayViewModelActions, TerminalFolder) {
    TempDir dir;
    std::filesystem::create_directory(dir / "src");
    std::ofstream(dir / "src" / "main.cpp") << "int main() {}\n";
    std::filesystem::create_directory_symlink(dir / "src", dir / "link");
    const std::string src = (dir / "src").string();

    enum class Kind { row, folderRow, recentFile };
    struct Case {
        const char* what;
        Kind kind;
        std::string path;
        std::string folder;
    };
    const std::vector<Case> cases = {
        {"a file opens in its folder", Kind::row, src + "/main.cpp", src},
        {"a folder opens in itself", Kind::folderRow, src, src},
        {"a top-level file opens at the root", Kind::row, "/b.txt", "/"},
        {"a recent folder opens in itself", Kind::recentFile, src, src},
        {"a recent link to a folder opens in it", Kind::recentFile, (dir / "link").string(),
         (dir / "link").string()},
        {"a recent file that is gone opens in its folder", Kind::recentFile, src + "/gone/old.txt",
         src + "/gone"},
    };
    for (const auto& c : cases) {
        OverlayFixture f;
        auto& m = *f.model;
        if (c.kind == Kind::recentFile) {
            f.recents->recordOpened(c.path, "x", f.clock->now());
            EXPECT_TRUE(m.openTerminal(f.recents->recentFiles()[0])) << c.what;
        } else {
            auto r = row(1, c.path);
            r.isDirectory = c.kind == Kind::folderRow;
            f.showRows({r});
            EXPECT_TRUE(m.openTerminalAtSelected()) << c.what;
        }
        EXPECT_EQ(f.actions->terminalFolders, Strings{c.folder}) << c.what;
    }

    OverlayFixture f;
    f.actions->terminalSucceeds = false;
    f.showRows({row(1, "/srv/a.txt")}, "a", 3);
    f.events.clear();
    EXPECT_FALSE(f.model->openTerminalAtSelected()) << "a terminal that did not start";
    EXPECT_EQ(f.events, Strings{"search a 3"});
}

TEST(OverlayViewModelActions, OtherCopiesTexts) {
    struct Case {
        SearchOutcome answer;
        std::string context;
        bool rows;
    };
    const std::vector<Case> cases = {
        {resultsOf({row(7, "/b/report.pdf")}, 1), "1 other copy of report.pdf", true},
        {resultsOf({row(7, "/b/report.pdf"), row(8, "/c/report.pdf")}, 2),
         "2 other copies of report.pdf", true},
        {resultsOf({}, 0), "0 other copies of report.pdf", false},
        {resultsOf({row(7, "/b/report.pdf")}, 1234), "1234 other copies of report.pdf", true},
        {SearchOutcome::noMatches(), "No other copies of report.pdf", false},
        {SearchOutcome::failed("index gone"), "No other copies of report.pdf", false},
    };
    for (const auto& c : cases) {
        OverlayFixture f;
        auto& m = *f.model;
        f.showRows({row(3, "/a/report.pdf"), row(4, "/a/other.pdf")}, "report");
        f.engine->copiesAnswerAtOnce = c.answer;
        EXPECT_TRUE(m.findCopiesOfSelected());
        EXPECT_EQ(m.copiesContext.get(), std::nullopt) << "applied on the main queue";
        f.mainQueue->drain();
        EXPECT_EQ(m.copiesContext.get(), c.context);
        EXPECT_EQ(m.selectedID.get(), c.rows ? std::optional<std::uint32_t>(7) : std::nullopt)
            << c.context;
        EXPECT_EQ(m.state.get().isNoMatches(), !c.answer.resultsIfAny()) << c.context;
        EXPECT_FALSE(m.resultsAreStale.get());
    }
}

TEST(OverlayViewModelActions, OtherCopiesAskByIdAndPathAndOnlyTheNewestAnswerCounts) {
    OverlayFixture f;
    auto& m = *f.model;
    const auto shown = State::results({row(3, "/a/report.pdf")}, 1, 0.01);
    f.showRows({row(3, "/a/report.pdf")}, "report");

    // A row ID that a rescan gave to another file: the engine refuses it, the banner says so.
    EXPECT_TRUE(m.findCopies(row(3, "/a/report.pdf")));
    ASSERT_EQ(f.engine->copiesRequests().size(), 1u);
    EXPECT_EQ(f.engine->copiesRequests()[0].id, 3u);
    EXPECT_EQ(f.engine->copiesRequests()[0].path, "/a/report.pdf");
    f.engine->answerCopies(0, SearchOutcome::noMatches());
    f.mainQueue->drain();
    EXPECT_EQ(m.copiesContext.get(), "No other copies of report.pdf");

    // A keystroke after the request: its answer is dropped, and so is a late search answer
    // once a newer copies request exists.
    f.showRows({row(3, "/a/report.pdf")}, "repo");
    EXPECT_TRUE(m.findCopiesOfSelected());
    m.updateQuery("rep");
    f.engine->answerCopies(1, resultsOf({row(9, "/z/report.pdf")}));
    f.mainQueue->drain();
    EXPECT_EQ(m.copiesContext.get(), std::nullopt);
    EXPECT_EQ(m.state.get(), shown);
    EXPECT_TRUE(m.resultsAreStale.get());

    EXPECT_TRUE(m.findCopiesOfSelected());
    f.engine->answerLast(resultsOf({row(5, "/r")}));
    f.mainQueue->drain();
    EXPECT_EQ(m.state.get(), shown);
    f.engine->answerCopies(2, resultsOf({row(9, "/z/report.pdf")}, 1));
    f.mainQueue->drain();
    EXPECT_EQ(m.copiesContext.get(), "1 other copy of report.pdf");
    EXPECT_EQ(m.selectedID.get(), 9u);

    // The engine's answer after the model is gone reaches nothing.
    EXPECT_TRUE(m.findCopiesOfSelected());
    f.model.reset();
    f.engine->answerCopies(3, resultsOf({row(9, "/z/report.pdf")}));
    f.mainQueue->drain();

    OverlayFixture withoutEngine(/*withEngine=*/false);
    withoutEngine.model->state.set(State::results({row(1, "/a")}, 1, 0.1));
    withoutEngine.model->selectedID.set(1);
    EXPECT_FALSE(withoutEngine.model->findCopiesOfSelected());
}

TEST(OverlayViewModelActions, Trash) {
    struct Case {
        const char* what;
        std::vector<RankedRow> rows;
        std::int64_t total;
        std::uint32_t selected;
        RankedRow trashed;
        std::vector<std::uint32_t> left;
        std::int64_t totalAfter;
        std::optional<std::uint32_t> selectedAfter;
    };
    const auto a = row(1, "/d/a"), b = row(2, "/d/b"), c = row(3, "/d/c");
    auto folder = row(4, "/d/sub");
    folder.isDirectory = true;
    const auto inside = row(5, "/d/sub/x"), deeper = row(6, "/d/sub/y/z"),
               sibling = row(7, "/d/subway");
    const std::vector<Case> cases = {
        {"the only row", {a}, 1, 1, a, {}, 0, std::nullopt},
        {"the selected one of several", {a, b, c}, 90, 2, b, {1, 3}, 89, 1},
        {"another than the selected", {a, b, c}, 3, 3, a, {2, 3}, 2, 3},
        {"a total of 0 stays 0", {a, b}, 0, 1, a, {2}, 0, 2},
        {"a folder takes its listed children",
         {a, folder, inside, deeper, sibling},
         5,
         4,
         folder,
         {1, 7},
         4,
         1},
    };
    for (const auto& k : cases) {
        OverlayFixture f;
        auto& m = *f.model;
        f.showRows(k.rows, "d", k.total);
        m.selectedID.set(k.selected);
        // The selected row goes through the Trash; another one is removed as the search
        // field does after trashing it.
        if (k.trashed.id == k.selected) {
            EXPECT_TRUE(m.trashSelected()) << k.what;
            EXPECT_EQ(f.actions->trashed, Strings{k.trashed.path}) << k.what;
        } else {
            m.removeRowLocally(k.trashed.path);
        }
        std::vector<std::uint32_t> left;
        for (const auto& r : m.rows())
            left.push_back(r.id);
        EXPECT_EQ(left, k.left) << k.what;
        if (k.left.empty()) {
            EXPECT_TRUE(m.state.get().isNoMatches()) << k.what;
        } else {
            ASSERT_NE(m.state.get().resultsIfAny(), nullptr) << k.what;
            EXPECT_EQ(m.state.get().resultsIfAny()->totalMatches, k.totalAfter) << k.what;
        }
        EXPECT_EQ(m.selectedID.get(), k.selectedAfter) << k.what;
    }

    OverlayFixture f;
    auto& m = *f.model;
    f.showRows({a, b}, "d", 2);
    m.moveSelection(+1);
    m.removeRowLocally("/d/a");
    EXPECT_EQ(m.selectedID.get(), 2u) << "a selection still listed stays";
    EXPECT_EQ(m.state.get().resultsIfAny()->totalMatches, 1);
    m.removeRowLocally("/elsewhere");
    EXPECT_EQ(m.state.get().resultsIfAny()->totalMatches, 1) << "nothing removed, nothing counted";

    const auto before = m.state.get();
    f.actions->trashSucceeds = false;
    EXPECT_FALSE(m.trash(b));
    EXPECT_EQ(f.actions->trashed, Strings{"/d/b"});
    EXPECT_EQ(m.state.get(), before);
    EXPECT_EQ(m.selectedID.get(), 2u);
}

TEST(OverlayViewModelActions, SeveralRowsWithOfflineRowsAmongThem) {
    OverlayFixture f;
    auto& m = *f.model;
    const auto off1 = row(2, "/mnt/b", offlineCatalog("Backup"));
    const auto off2 = row(4, "/mnt/d", offlineCatalog("Backup"));
    f.showRows({row(1, "/a"), off1, row(3, "/c"), off2, row(5, "/e")}, "x", 12);
    f.events.clear();
    m.selectedID.set(3);
    m.extraSelectedIDs.set({1, 2, 5});

    EXPECT_EQ(m.copySelectedPaths(), 4);
    EXPECT_EQ(f.actions->copied, Strings{"/a\n/mnt/b\n/c\n/e"});
    EXPECT_TRUE(f.events.empty());

    EXPECT_EQ(m.revealSelectedRows(), 3);
    EXPECT_EQ(f.actions->revealedGroups, (std::vector<Strings>{{"/a", "/c", "/e"}}));
    EXPECT_EQ(f.events, Strings{"search x 12"});

    EXPECT_EQ(m.openSelectedRows("/usr/share/applications/org.gnome.Loupe.desktop"), 3);
    ASSERT_EQ(f.actions->openedWith.size(), 1u);
    EXPECT_EQ(f.actions->openedWith[0].paths, (Strings{"/a", "/c", "/e"}));
    EXPECT_EQ(f.actions->openedWith[0].app, "/usr/share/applications/org.gnome.Loupe.desktop");

    // One of three fails: two counted, the extras dropped, the rows left in the list.
    struct FailingOnC final : ResultActionPerforming {
        std::shared_ptr<RecordingResultActions> inner;
        void reveal(const std::string& p) override { inner->reveal(p); }
        void copyToPasteboard(const std::string& t) override { inner->copyToPasteboard(t); }
        bool trash(const std::string& p) override { return inner->trash(p) && p != "/c"; }
        bool openTerminal(const std::string& p) override { return inner->openTerminal(p); }
        void revealAll(const std::vector<std::string>& p) override { inner->revealAll(p); }
        void open(const std::vector<std::string>& p, const std::string& a) override {
            inner->open(p, a);
        }
        std::vector<std::string> applications(const std::string& p) override {
            return inner->applications(p);
        }
    };
    auto failing = std::make_shared<FailingOnC>();
    failing->inner = f.actions;
    auto model = OverlayViewModel::create(f.engine, nullptr, false, f.recents, f.settle, 1.2,
                                          failing, f.mainQueue, f.clock);
    model->updateQuery("x");
    f.engine->answerLast(resultsOf({row(1, "/a"), off1, row(3, "/c"), off2, row(5, "/e")}));
    f.mainQueue->drain();
    model->selectAllRows();
    EXPECT_EQ(model->trashSelectedRows(), 2);
    EXPECT_EQ(f.actions->trashed, (Strings{"/a", "/c", "/e"}));
    EXPECT_TRUE(model->extraSelectedIDs.get().empty());
    EXPECT_EQ(model->rows().size(), 5u);

    // Only offline rows: the catalog opens at the first; nothing selected gives 0.
    f.events.clear();
    m.selectedID.set(2);
    m.extraSelectedIDs.set({4});
    EXPECT_EQ(m.revealSelectedRows(), 1);
    EXPECT_EQ(f.events, Strings{"catalog /mnt/b"});
    EXPECT_EQ(m.openSelectedRows("/usr/share/applications/x.desktop"), 0);
    EXPECT_EQ(m.trashSelectedRows(), 0);
    EXPECT_EQ(m.extraSelectedIDs.get(), std::set<std::uint32_t>{4});

    f.search("none", SearchOutcome::noMatches());
    EXPECT_EQ(m.revealSelectedRows(), 0);
    EXPECT_EQ(m.copySelectedPaths(), 0);
}

} // namespace
} // namespace ulmaro
