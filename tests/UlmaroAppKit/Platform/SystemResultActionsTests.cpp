#include "GioTestEnvironment.h"
#include "UlmaroAppKit/Fakes/InMemoryPasteboard.h"
#include "UlmaroAppKit/Fakes/ManualSerialQueue.h"
#include "UlmaroAppKit/Fakes/RecordingResultActions.h"
#include "UlmaroAppKit/Platform/ContentTypes.h"
#include "UlmaroAppKit/Platform/DesktopApplications.h"
#include "UlmaroAppKit/Platform/FileManagerReveal.h"
#include "UlmaroAppKit/Platform/SystemResultActions.h"
#include "UlmaroAppKit/Platform/ThreadSerialQueueFactory.h"
#include "support/PrivateBusService.h"
#include "support/WaitFor.h"

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <latch>
#include <mutex>
#include <thread>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;
using test::GioTestEnvironment;

std::vector<std::string> lines(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

/// Serves org.freedesktop.FileManager1 on the private bus from a thread of its own and
/// records the URIs of every ShowItems call; `failing` answers each call with an error.
class FakeFileManager {
public:
    FakeFileManager(const std::string& address, bool failing)
        : failing_(failing),
          service_(address, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                   "<node><interface name='org.freedesktop.FileManager1'><method name='ShowItems'>"
                   "<arg type='as' direction='in'/><arg type='s' direction='in'/></method>"
                   "</interface></node>",
                   [this](const gchar*, GVariant* parameters, GDBusMethodInvocation* invocation) {
                       handle(parameters, invocation);
                   }) {}

    bool owned() const { return service_.owned(); }
    std::vector<std::vector<std::string>> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    void handle(GVariant* parameters, GDBusMethodInvocation* invocation) {
        GVariantIter* items = nullptr;
        const gchar* startup = nullptr;
        g_variant_get(parameters, "(as&s)", &items, &startup);
        std::vector<std::string> uris;
        const gchar* uri = nullptr;
        while (g_variant_iter_next(items, "&s", &uri))
            uris.emplace_back(uri);
        g_variant_iter_free(items);
        {
            std::lock_guard lock(mutex_);
            calls_.push_back(std::move(uris));
        }
        if (failing_)
            g_dbus_method_invocation_return_dbus_error(
                invocation, "org.freedesktop.DBus.Error.Failed", "cannot show");
        else
            g_dbus_method_invocation_return_value(invocation, nullptr);
    }

    bool failing_;
    mutable std::mutex mutex_;
    std::vector<std::vector<std::string>> calls_;
    // Last: it calls back from its thread until it is gone.
    test::PrivateBusService service_;
};

struct Actions {
    Actions() { GioTestEnvironment::shared(); }
    std::shared_ptr<InMemoryPasteboard> pasteboard = std::make_shared<InMemoryPasteboard>();
    std::shared_ptr<ManualSerialQueue> queue =
        std::make_shared<ManualSerialQueue>("app.ulmaro.result-actions", QueueQuality::utility);
    std::shared_ptr<ManualSerialQueue> examining =
        std::make_shared<ManualSerialQueue>("app.ulmaro.content-types", QueueQuality::utility);
    SystemResultActions actions{pasteboard, queue, examining};
};

// The folder handler appends as it is started; wait for `count` lines, then a moment more
// to see that no other launch follows.
std::vector<std::string> openedFolders(std::size_t count) {
    const auto file = GioTestEnvironment::shared().openedFolders();
    EXPECT_TRUE(test::waitFor([&] { return lines(file).size() >= count; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto opened = lines(file);
    fs::remove(file);
    std::sort(opened.begin(), opened.end());
    return opened;
}

TEST(SystemResultActions, RevealAllIsOneShowItemsCallWithEveryUriInOrder) {
    const auto& environment = GioTestEnvironment::shared();
    if (environment.busAddress().empty()) GTEST_SKIP() << "dbus-daemon is not installed";
    FakeFileManager fileManager(environment.busAddress(), false);
    ASSERT_TRUE(fileManager.owned());
    Actions a;
    a.actions.revealAll({"/home/u/b file.txt", "/home/u/caf\xe9", "/srv/-x"});
    EXPECT_TRUE(fileManager.calls().empty()) << "the panel does not wait";
    a.queue->drain();
    a.actions.reveal("/home/u/%41.txt");
    a.actions.revealAll({});
    a.queue->drain();
    EXPECT_EQ(fileManager.calls(),
              (std::vector<std::vector<std::string>>{
                  {"file:///home/u/b%20file.txt", "file:///home/u/caf%E9", "file:///srv/-x"},
                  {"file:///home/u/%2541.txt"}}));
    EXPECT_FALSE(fs::exists(environment.openedFolders()));
}

TEST(SystemResultActions, WithoutAFileManagerEachParentFolderOpensOnce) {
    const auto& environment = GioTestEnvironment::shared();
    fs::remove(environment.openedFolders());
    const std::vector<std::string> paths = {"/srv/a b/one", "/srv/caf\xe9/two", "/srv/a b/three",
                                            "/srv/a b/"};
    // GIO hands a local folder to the handler as its path, bytes unchanged.
    const std::vector<std::string> expected = {"/srv", "/srv/a b", "/srv/caf\xe9"};
    {
        // Nothing owns the name (or no bus at all).
        Actions a;
        a.actions.revealAll(paths);
        a.queue->drain();
        EXPECT_EQ(openedFolders(3), expected);
    }
    if (environment.busAddress().empty()) return;
    FakeFileManager failing(environment.busAddress(), true);
    ASSERT_TRUE(failing.owned());
    Actions a;
    a.actions.revealAll(paths);
    a.queue->drain();
    EXPECT_EQ(failing.calls().size(), 1u);
    EXPECT_EQ(openedFolders(3), expected);
}

TEST(SystemResultActions, DistinctParentFolders) {
    EXPECT_EQ(distinctParentFolders({"/a/b", "/a/c", "/x", "/", "/a/b/", "relative"}),
              (std::vector<std::string>{"/a", "/"}));
}

TEST(SystemResultActions, TheDefaultApplicationComesFirst) {
    using List = std::vector<std::string>;
    EXPECT_EQ(withDefaultFirst({"a", "b", "c", "d", "e"}, "c"), (List{"c", "a", "b", "d", "e"}));
    EXPECT_EQ(withDefaultFirst({"a", "b"}, "z"), (List{"a", "b"}));
    EXPECT_EQ(withDefaultFirst({"a", "b"}, std::nullopt), (List{"a", "b"}));
    EXPECT_EQ(withDefaultFirst({}, "a"), List{});

    test::TempDir work;
    std::ofstream(work / "note.txt") << "plain text\n";
    Actions a;
    const auto editors = GioTestEnvironment::shared().applications();
    for (const auto& path : {(work / "note.txt").string(), (work / "missing.txt").string()}) {
        List ours;
        for (const auto& app : a.actions.applications(path))
            if (fs::path(app).parent_path() == editors) ours.push_back(fs::path(app).filename());
        // GIO lists them a, b, c; c is the default.
        EXPECT_EQ(ours, (List{"ulmaro-test-editor-c.desktop", "ulmaro-test-editor-a.desktop",
                              "ulmaro-test-editor-b.desktop"}))
            << path;
    }
    EXPECT_TRUE(a.actions.applications("/nonexistent/x.unknown-kind").size() <
                a.actions.applications((work / "note.txt").string()).size());
}

TEST(SystemResultActions, AFileWhoseNameSaysNothingIsExaminedOffTheCallersThread) {
    test::TempDir work;
    const std::string notes = (work / "minutes").string();
    std::ofstream(notes) << "plain words, nothing more\n";
    Actions a;
    const auto editors = GioTestEnvironment::shared().applications();
    const auto ours = [&] {
        std::vector<std::string> found;
        for (const auto& app : a.actions.applications(notes))
            if (fs::path(app).parent_path() == editors) found.push_back(fs::path(app).filename());
        return found;
    };
    // The file is not read on the caller's thread: its name alone answers, until the
    // examination has run.
    EXPECT_EQ(ours(), std::vector<std::string>{});
    EXPECT_EQ(a.examining->pending(), 1u);
    EXPECT_EQ(ours(), std::vector<std::string>{});
    EXPECT_EQ(a.examining->pending(), 1u) << "one examination per path";
    a.examining->drain();
    EXPECT_EQ(ours(), (std::vector<std::string>{"ulmaro-test-editor-c.desktop",
                                                "ulmaro-test-editor-a.desktop",
                                                "ulmaro-test-editor-b.desktop"}));
    // A name that settles the type asks nothing of the file.
    a.actions.applications((work / "missing.txt").string());
    EXPECT_EQ(a.examining->pending(), 0u);
}

TEST(SystemResultActions, AnExaminationThatHangsNeverHoldsTheCaller) {
    // As a file on a hung mount: the examination never returns while the test runs.
    std::latch release(1);
    std::atomic<int> examined = 0;
    ThreadSerialQueueFactory queues;
    const auto types =
        ContentTypes::make(queues.makeQueue("app.ulmaro.content-types", QueueQuality::utility),
                           [&](const std::string&) {
                               ++examined;
                               release.wait();
                               return std::string("text/plain");
                           });
    bool settled = true;
    const std::string guess = ContentTypes::fromName("/mnt/hung/minutes", settled);
    EXPECT_FALSE(settled);
    EXPECT_EQ(types->of("/mnt/hung/minutes"), guess);
    ASSERT_TRUE(test::waitFor([&] { return examined == 1; }));
    EXPECT_EQ(types->of("/mnt/hung/minutes"), guess) << "answered while the examination hangs";
    EXPECT_EQ(types->of("/mnt/hung/report.pdf"), "application/pdf");
    release.count_down();
    ASSERT_TRUE(test::waitFor([&] { return types->of("/mnt/hung/minutes") == "text/plain"; }));
    EXPECT_EQ(examined, 1);
}

TEST(SystemResultActions, OpenWithLaunchesTheApplicationWithEveryItem) {
    const auto& environment = GioTestEnvironment::shared();
    fs::remove(environment.openedDocuments());
    Actions a;
    a.actions.open({"/srv/one.txt", "/srv/t\xe9.txt"},
                   (environment.applications() / "ulmaro-test-editor-b.desktop").string());
    a.actions.open({"/srv/x.txt"}, (environment.root() / "not-an-app.desktop").string());
    EXPECT_FALSE(fs::exists(environment.openedDocuments())) << "off the main thread";
    a.queue->drain();
    ASSERT_TRUE(test::waitFor([&] { return !lines(environment.openedDocuments()).empty(); }));
    EXPECT_EQ(lines(environment.openedDocuments()),
              std::vector<std::string>{"b /srv/one.txt /srv/t\xe9.txt"});
}

TEST(SystemResultActions, CopiedTextIsRepairedAndEmptyTextClears) {
    Actions a;
    a.actions.copyToPasteboard("/home/u/caf\xe9.txt");
    EXPECT_EQ(a.pasteboard->text, "/home/u/caf\xef\xbf\xbd.txt");
    a.actions.copyToPasteboard("");
    EXPECT_EQ(a.pasteboard->text, "");
    EXPECT_EQ(a.pasteboard->writes, 2);
}

TEST(RecordingResultActions, RecordsEveryCallAndGivesItsAnswers) {
    RecordingResultActions r;
    r.trashSucceeds = false;
    r.availableApplications = {"/usr/share/applications/x.desktop"};
    EXPECT_FALSE(r.trash("/a"));
    EXPECT_TRUE(r.openTerminal("/b"));
    r.reveal("/c");
    r.revealAll({"/d", "/e"});
    r.copyToPasteboard("/f");
    r.open({"/g"}, "/usr/share/applications/y.desktop");
    EXPECT_EQ(r.applications("/anything"), r.availableApplications);
    EXPECT_EQ(r.trashed, std::vector<std::string>{"/a"});
    EXPECT_EQ(r.terminalFolders, std::vector<std::string>{"/b"});
    EXPECT_EQ(r.revealed, std::vector<std::string>{"/c"});
    EXPECT_EQ(r.revealedGroups, (std::vector<std::vector<std::string>>{{"/d", "/e"}}));
    EXPECT_EQ(r.copied, std::vector<std::string>{"/f"});
    EXPECT_EQ(r.openedWith, (std::vector<RecordingResultActions::OpenedWith>{
                                {{"/g"}, "/usr/share/applications/y.desktop"}}));
}

} // namespace
} // namespace ulmaro
