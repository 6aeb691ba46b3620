// The real `ulmaro` on the private X server, over a fixture home: it indexes a small folder,
// a second launch summons its panel, typing lists rows of the real index, Return opens and
// hides, the hot key brings the panel over another window and Escape gives that window
// back; a first run is clicked through from the welcome step to the search; SIGTERM and
// Ctrl+Q save and exit 0.
#include "PrivateXServer.h"
#include "UlmaroAppKit/Shell/UnixSocketSummonChannel.h"
#include "UlmaroAppKit/UI/X11/WindowManagerFixture.h"
#include "support/TempDir.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QProcess>
#include <QRect>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace ulmaro {
namespace {

using test::activeWindow;
using test::waitLimitMs;
using test::xdotool;

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// A home of its own: settings with the first run done, XDG folders inside the fixture, and
/// a few dozen files to index in place of "/".
class AppFixture : public test::OtherWindowActive {
protected:
    AppFixture() {
        for (const char* folder :
             {"home", "config/Ulmaro", "data", "runtime", "root/docs", "root/photos"})
            std::filesystem::create_directories(dir / folder);
        ::chmod((dir / "runtime").c_str(), 0700);
        for (int i = 0; i < 24; ++i) {
            std::ofstream(dir / "root/docs" / ("report-" + std::to_string(i) + ".txt")) << "x";
            std::ofstream(dir / "root/photos" / ("holiday-" + std::to_string(i) + ".jpg")) << "x";
        }
        std::ofstream(dir / "config/Ulmaro/settings.json")
            << R"({"app.ulmaro.onboardingCompleted": true, "app.ulmaro.firstRunCompleted": true})";
    }

    ~AppFixture() override {
        if (primary.state() != QProcess::NotRunning) {
            primary.kill();
            primary.waitForFinished(5000);
        }
    }

    QProcessEnvironment environment() const {
        auto env = QProcessEnvironment::systemEnvironment();
        auto set = [&](const char* name, const std::filesystem::path& path) {
            env.insert(QString::fromUtf8(name), QString::fromStdString(path.string()));
        };
        set("HOME", dir / "home");
        set("XDG_CONFIG_HOME", dir / "config");
        set("XDG_DATA_HOME", dir / "data");
        set("XDG_RUNTIME_DIR", dir / "runtime");
        set("XDG_CACHE_HOME", dir / "cache");
        set("XDG_STATE_HOME", dir / "state");
        set("ULMARO_TEST_SCAN_ROOT", dir / "root");
        set("ULMARO_TEST_PROBE", probe());
        set("ULMARO_TEST_OPEN_LOG", dir / "opened");
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        return env;
    }

    std::filesystem::path probe() const { return dir / "probe"; }
    bool probed(const std::string& line) const {
        return readFile(probe()).find(line + "\n") != std::string::npos;
    }
    bool waitProbed(const std::string& line) const {
        return QTest::qWaitFor([&] { return probed(line); }, waitLimitMs);
    }

    /// The probe's lines from line `from` on.
    std::vector<std::string> probeLines(std::size_t from = 0) const {
        std::vector<std::string> lines;
        std::istringstream text(readFile(probe()));
        std::size_t at = 0;
        for (std::string line; std::getline(text, line); ++at)
            if (at >= from) lines.push_back(line);
        return lines;
    }
    std::size_t probeCount(const std::string& line) const {
        const auto lines = probeLines();
        return std::size_t(std::count(lines.begin(), lines.end(), line));
    }

    int launchSecond(QByteArray* errors = nullptr) const {
        QProcess second;
        second.setProcessEnvironment(environment());
        second.start(QStringLiteral(ULMARO_APP_PATH), {});
        if (!second.waitForFinished(waitLimitMs)) return -1;
        if (errors) *errors = second.readAllStandardError();
        return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
    }

    bool panelActive() const {
        const auto window = activeWindow();
        return window != 0 &&
               X11Desktop::current()->processIdentifier(window) == primary.processId();
    }

    void snapshot(const char* name) const {
        if (const char* out = std::getenv("ULMARO_UI_SNAPSHOT_DIR")) {
            QTest::qWait(300);
            QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromUtf8(out) + "/" +
                                                                 name);
        }
    }

    /// `keepErrors`: its standard error is kept for `primaryErrors`, not passed on.
    void startPrimary(const QStringList& arguments = {}, bool keepErrors = false,
                      const QProcessEnvironment& env = {}) {
        primary.setProcessEnvironment(env.isEmpty() ? environment() : env);
        primary.setProcessChannelMode(keepErrors ? QProcess::SeparateChannels
                                                 : QProcess::ForwardedChannels);
        primary.start(QStringLiteral(ULMARO_APP_PATH), arguments);
        ASSERT_TRUE(primary.waitForStarted(waitLimitMs));
    }
    /// What the first copy has written to standard error so far (`keepErrors`).
    std::string primaryErrors() {
        errors_ += primary.readAllStandardError().toStdString();
        return errors_;
    }
    std::string activeWindowName() const {
        QProcess process;
        process.start(QStringLiteral("xdotool"),
                      {QStringLiteral("getactivewindow"), QStringLiteral("getwindowname")});
        process.waitForFinished(waitLimitMs);
        return process.readAllStandardOutput().trimmed().toStdString();
    }
    /// The active window's place and size, as xdotool reads them from the server.
    QRect activeWindowGeometry() const {
        QProcess process;
        process.start(QStringLiteral("xdotool"),
                      {QStringLiteral("getactivewindow"), QStringLiteral("getwindowgeometry"),
                       QStringLiteral("--shell")});
        process.waitForFinished(waitLimitMs);
        QRect r;
        for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
            const auto value = line.mid(line.indexOf('=') + 1).toInt();
            if (line.startsWith("X=")) r.moveLeft(value);
            if (line.startsWith("Y=")) r.moveTop(value);
            if (line.startsWith("WIDTH=")) r.setWidth(value);
            if (line.startsWith("HEIGHT=")) r.setHeight(value);
        }
        return r;
    }
    std::filesystem::path runtime() const { return dir / "runtime" / "Ulmaro"; }

    /// Starts the first copy and waits for its index of the fixture folder.
    void launchPrimary() {
        startPrimary();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return std::filesystem::exists(dir / "data/Ulmaro/index.bin"); }, waitLimitMs))
            << "the fixture folder is indexed";
        ASSERT_TRUE(waitProbed("searchable"));
    }

    /// SIGTERM: the save at the end, then exit 0.
    void terminatePrimary() {
        forgetCheckpoint();
        primary.terminate();
        expectSavedAndEnded();
    }

    /// Ctrl+Q in the panel, summoned over the other window: the same road.
    void quitFromThePanel() {
        ASSERT_TRUE(xdotool({"key", "alt+space"}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return panelActive(); }, waitLimitMs));
        forgetCheckpoint();
        ASSERT_TRUE(xdotool({"key", "ctrl+q"}));
        expectSavedAndEnded();
    }

    /// The user picks the other window, as a task bar would ask: the window manager's
    /// focus-stealing rule may turn down the program's own request after the panel's.
    bool activateOther() const {
        return xdotool({"windowactivate", QString::number(other.winId())}) &&
               QTest::qWaitFor([&] { return activeWindow() == other.winId(); }, waitLimitMs);
    }

    /// The watcher may save its checkpoint on its way; the one looked for is the quit's.
    void forgetCheckpoint() const { std::filesystem::remove(checkpoint()); }
    std::filesystem::path checkpoint() const { return dir / "data/Ulmaro/watch-checkpoint.json"; }

    void expectSavedAndEnded() {
        ASSERT_TRUE(primary.waitForFinished(waitLimitMs));
        EXPECT_EQ(primary.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(primary.exitCode(), 0);
        EXPECT_NE(readFile(dir / "config/Ulmaro/settings.json").find("app.ulmaro.frecency"),
                  std::string::npos)
            << "frecency is saved";
        EXPECT_TRUE(std::filesystem::exists(checkpoint())) << "the watcher's checkpoint is saved";
    }

    /// Clicks the button titled `title` of the step the probe told last, in the panel.
    ::testing::AssertionResult clickButton(std::size_t stepLine, const std::string& title) {
        const auto lines = probeLines(stepLine + 1);
        for (const auto& line : lines) {
            if (!line.starts_with("button ")) break;
            std::istringstream fields(line.substr(7));
            int x = 0, y = 0;
            std::string rest;
            fields >> x >> y;
            std::getline(fields >> std::ws, rest);
            if (rest != title) continue;
            const auto window = QString::number(activeWindow());
            if (!xdotool({"mousemove", "--window", window, QString::number(x), QString::number(y),
                          "click", "1"}))
                return ::testing::AssertionFailure() << "xdotool could not click " << title;
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "no button \"" << title << "\"\n"
                                             << readFile(probe());
    }

    /// The line of the last "step" the probe told, and its name; none before any.
    std::optional<std::pair<std::size_t, std::string>> lastStep() const {
        const auto lines = probeLines();
        for (std::size_t at = lines.size(); at-- > 0;) {
            if (lines[at].starts_with("step ")) return std::pair{at, lines[at].substr(5)};
        }
        return std::nullopt;
    }

    /// Clicks the first run from the welcome step to "Done"; the steps walked, in order.
    std::vector<std::string> walkFirstRun() {
        // The button each step is left by; the indexing step moves on by itself.
        const std::map<std::string, std::string> leaveBy = {
            {"welcome", "This computer and my drives"},
            {"externalDrives", "Continue"},
            {"ready", "Continue"},
            {"contentFolders", "Continue"},
            {"howToSearch", "Continue"},
            {"tryThese", "Done"},
        };
        std::vector<std::string> walked;
        if (!QTest::qWaitFor([&] { return lastStep().has_value(); }, waitLimitMs)) return walked;
        for (auto step = *lastStep(); step.second != "none";) {
            walked.push_back(step.second);
            if (walked.size() >= 12) return walked; // the flow goes round
            if (step.second == "welcome") indexedBeforeTheChoice = probeCount("index indexing");
            if (const auto button = leaveBy.find(step.second); button != leaveBy.end())
                if (!clickButton(step.first, button->second)) return walked;
            if (!QTest::qWaitFor(
                    [&] {
                        const auto now = lastStep();
                        return now && now->second != step.second;
                    },
                    waitLimitMs))
                return walked;
            step = *lastStep();
        }
        walked.push_back("none");
        return walked;
    }
    std::size_t indexedBeforeTheChoice = 0;

    /// Where the X server shows the active window's top-left corner.
    static std::optional<QPoint> activeWindowPosition() {
        const auto window = activeWindow();
        if (window == 0) return std::nullopt;
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        std::optional<QPoint> at;
        if (auto* reply = xcb_translate_coordinates_reply(
                connection, xcb_translate_coordinates(connection, window, root, 0, 0), nullptr)) {
            at = QPoint(reply->dst_x, reply->dst_y);
            std::free(reply);
        }
        xcb_disconnect(connection);
        return at;
    }

    /// The lines of the probe since line `from` hold `line`.
    bool probedSince(std::size_t from, const std::string& line) const {
        const auto lines = probeLines(from);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    bool waitProbedSince(std::size_t from, const std::string& line) const {
        return QTest::qWaitFor([&] { return probedSince(from, line); }, waitLimitMs);
    }
    /// Waits for a "results N" line with N above 0 after line `from`.
    bool waitRowsSince(std::size_t from) const {
        return QTest::qWaitFor(
            [&] {
                for (const auto& line : probeLines(from))
                    if (line.starts_with("results ") && line != "results 0") return true;
                return false;
            },
            waitLimitMs);
    }

    test::TempDir dir;
    QProcess primary;
    std::string errors_;
};

/// A tray host on the screen, as desktops have: it takes a strip of the screen's top.
class TrayHost {
public:
    TrayHost() {
        process_.start(QStringLiteral("trayer"),
                       {"--edge", "top", "--align", "right", "--widthtype", "request", "--height",
                        "24", "--SetDockType", "true", "--SetPartialStrut", "true"});
        if (!process_.waitForStarted(waitLimitMs)) return;
        // Up once the window manager has taken its strip from the work area.
        strutTaken_ = QTest::qWaitFor(
            [] { return QGuiApplication::primaryScreen()->availableGeometry().y() > 0; },
            waitLimitMs);
    }
    ~TrayHost() {
        process_.terminate();
        if (!process_.waitForFinished(5000)) process_.kill();
        process_.waitForFinished(5000);
    }
    bool running() const { return process_.state() == QProcess::Running && strutTaken_; }

private:
    QProcess process_;
    bool strutTaken_ = false;
};

TEST_F(AppFixture, SecondLaunchAndHotKeySummonThePanelFocused) {
    launchPrimary();
    EXPECT_FALSE(probed("panel shown")) << "onboarding is done: the panel waits to be summoned";

    // A second launch summons the first, and ends.
    EXPECT_EQ(launchSecond(), 0);
    ASSERT_TRUE(waitProbed("panel shown"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelActive(); }, waitLimitMs))
        << "the panel has the keyboard";
    snapshot("app-summoned.png");

    // Another window taking the keyboard hides the panel; the hot key brings it back over
    // that window, with the focus.
    ASSERT_TRUE(activateOther());
    ASSERT_TRUE(waitProbed("panel hidden"));
    ASSERT_TRUE(xdotool({"key", "alt+space"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelActive(); }, waitLimitMs))
        << "the hot key's press time lets the panel take the focus\n"
        << readFile(probe());

    terminatePrimary();
}

// Every window of the program shares the screen's colormap with the window manager's frames:
// with a colormap of Qt's own, a capture such as `xwd -root` reads a window of ours that lies
// over another of ours (a chooser over the catalog or settings window) as black.
TEST_F(AppFixture, EveryWindowHasTheScreensDefaultColormap) {
    launchPrimary();
    EXPECT_EQ(launchSecond(), 0);
    ASSERT_TRUE(waitProbed("panel shown"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelActive(); }, waitLimitMs));
    ASSERT_TRUE(xdotool({"key", "ctrl+comma"}));
    auto windows = [&](QStringList also = {}) {
        QProcess search;
        search.start(QStringLiteral("xdotool"),
                     QStringList{"search", "--all", "--pid", QString::number(primary.processId())} +
                         also);
        search.waitForFinished(waitLimitMs);
        return QString::fromUtf8(search.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !windows({"--name", "^Settings$"}).isEmpty();
        },
        waitLimitMs));

    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    for (const QString& id : windows()) {
        auto* attributes = xcb_get_window_attributes_reply(
            connection, xcb_get_window_attributes(connection, id.toUInt()), nullptr);
        if (!attributes) continue;
        if (attributes->visual == screen->root_visual) {
            EXPECT_EQ(attributes->colormap, screen->default_colormap) << id.toStdString();
        }
        std::free(attributes);
    }
    xcb_disconnect(connection);
    terminatePrimary();
}

// A fresh settings folder: the panel opens on the welcome step, and clicking the first-run
// buttons from "This computer and my drives" to "Done" leaves the search, indexed once.
TEST_F(AppFixture, FirstRunIsClickedFromWelcomeToTheSearch) {
    std::filesystem::remove(dir / "config/Ulmaro/settings.json");
    startPrimary();
    ASSERT_TRUE(waitProbed("panel shown")) << "the first run introduces itself";
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelActive(); }, waitLimitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return lastStep().has_value(); }, waitLimitMs));
    EXPECT_EQ(lastStep()->second, "welcome");
    snapshot("app-first-run.png");

    const auto walked = walkFirstRun();
    ASSERT_FALSE(walked.empty());
    ASSERT_EQ(walked.back(), "none") << "the flow ends\n" << readFile(probe());
    EXPECT_EQ(walked.front(), "welcome");
    EXPECT_EQ(walked[walked.size() - 2], "tryThese");
    EXPECT_EQ(indexedBeforeTheChoice, 0u) << "nothing is indexed before the choice";
    ASSERT_TRUE(waitProbed("index ready"));
    EXPECT_EQ(probeCount("index indexing") + probeCount("index refreshing"), 1u)
        << "indexing started once\n"
        << readFile(probe());

    // The search, over the index the flow built.
    ASSERT_TRUE(waitProbed("searchable"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelActive(); }, waitLimitMs));
    ASSERT_TRUE(xdotool({"type", "--delay", "30", "report"}));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto lines = probeLines();
            return !lines.empty() && lines.back().starts_with("results ") &&
                   lines.back() != "results 0";
        },
        waitLimitMs))
        << readFile(probe());
    snapshot("app-first-run-done.png");
    terminatePrimary();
}

// With a tray host taking the top of the screen: the first run ends with the panel where
// it was shown, and it comes back there after Escape, a summon and a restart.
TEST_F(AppFixture, AfterTheFirstRunThePanelComesBackWhereItWas) {
    TrayHost tray;
    ASSERT_TRUE(tray.running()) << "trayer is installed by scripts/install-deps";
    std::filesystem::remove(dir / "config/Ulmaro/settings.json");
    startPrimary();
    ASSERT_TRUE(waitProbed("panel shown"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelActive(); }, waitLimitMs));
    QTest::qWait(300); // past anything the window manager does after mapping
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const auto first = activeWindowPosition();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->x(), available.x() + (available.width() - 680) / 2) << "centred";
    EXPECT_EQ(first->y(), available.y() + 200);
    ASSERT_EQ(walkFirstRun().back(), "none") << readFile(probe());
    ASSERT_TRUE(waitProbed("searchable"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelActive(); }, waitLimitMs));
    const auto shown = activeWindowPosition();
    EXPECT_EQ(shown, first) << "the first run ends where it began";

    auto summonedAt = [&](const char* what) {
        const auto from = probeLines().size();
        EXPECT_EQ(launchSecond(), 0);
        EXPECT_TRUE(waitProbedSince(from, "panel shown")) << what;
        EXPECT_TRUE(QTest::qWaitFor([&] { return panelActive(); }, waitLimitMs)) << what;
        QTest::qWait(300); // past anything the window manager does after mapping
        return activeWindowPosition();
    };
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    ASSERT_TRUE(waitProbed("panel hidden"));
    EXPECT_EQ(summonedAt("after Escape"), shown);

    terminatePrimary();
    std::filesystem::remove(probe());
    startPrimary();
    ASSERT_TRUE(waitProbed("searchable"));
    EXPECT_EQ(summonedAt("after a restart"), shown);
    terminatePrimary();
}

// Space on a selected row shows the preview beside the panel, which stays; Escape in the
// preview hands the keyboard back to the panel, and Ctrl+Y does the same as Space.
TEST_F(AppFixture, SpaceOnARowShowsThePreviewAndThePanelStays) {
    launchPrimary();
    EXPECT_EQ(launchSecond(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelActive(); }, waitLimitMs));
    const auto typed = probeLines().size();
    ASSERT_TRUE(xdotool({"type", "--delay", "30", "report"}));
    ASSERT_TRUE(waitRowsSince(typed)) << readFile(probe());
    const QRect panel = activeWindowGeometry();

    for (const char* key : {"space", "ctrl+y"}) {
        SCOPED_TRACE(key);
        const auto from = probeLines().size();
        ASSERT_TRUE(xdotool({"key", "Down"}));
        ASSERT_TRUE(xdotool({"key", key}));
        ASSERT_TRUE(waitProbedSince(from, "preview shown")) << readFile(probe());
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return activeWindowName().starts_with("report-"); }, waitLimitMs))
            << "the preview has the keyboard: " << activeWindowName();
        snapshot(std::string(key) == "space" ? "app-preview.png" : "app-preview-ctrl-y.png");
        // Beside the panel: the names it previews, on the panel's left, stay in view.
        const QRect preview = activeWindowGeometry();
        EXPECT_GE(preview.left(), panel.center().x())
            << "panel " << panel.x() << "+" << panel.width() << ", preview at " << preview.x();
        EXPECT_FALSE(probedSince(from, "panel hidden")) << readFile(probe());

        ASSERT_TRUE(xdotool({"key", "Escape"}));
        EXPECT_TRUE(waitProbedSince(from, "preview hidden"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return panelActive(); }, waitLimitMs))
            << "Escape in the preview gives the panel the keyboard";
        EXPECT_FALSE(probedSince(from, "panel hidden")) << readFile(probe());
    }
    terminatePrimary();
}

// A panel summoned again after an open keeps its text, selected: typing replaces it. And
// Escape while a contents search runs leaves no "Searching…" for the next summon.
TEST_F(AppFixture, ASummonedPanelStartsFreshForTyping) {
    launchPrimary();
    EXPECT_EQ(launchSecond(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelActive(); }, waitLimitMs));
    auto from = probeLines().size();
    ASSERT_TRUE(xdotool({"type", "--delay", "30", "holiday"}));
    ASSERT_TRUE(waitRowsSince(from));
    ASSERT_TRUE(xdotool({"key", "Return"}));
    ASSERT_TRUE(waitProbedSince(from, "panel hidden"));

    ASSERT_TRUE(activateOther());
    ASSERT_TRUE(xdotool({"key", "alt+space"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelActive(); }, waitLimitMs));
    from = probeLines().size();
    ASSERT_TRUE(xdotool({"type", "--delay", "30", "report"}));
    ASSERT_TRUE(waitRowsSince(from)) << "\"report\" replaced \"holiday\"\n" << readFile(probe());
    ASSERT_TRUE(xdotool({"key", "Return"}));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return readFile(dir / "opened").find("/docs/report-") != std::string::npos; },
        waitLimitMs))
        << readFile(dir / "opened");

    // A contents search and Escape at once: its outcome may come after the dismissal.
    ASSERT_TRUE(activateOther());
    ASSERT_TRUE(xdotool({"key", "alt+space"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelActive(); }, waitLimitMs));
    from = probeLines().size();
    ASSERT_TRUE(xdotool({"type", "--delay", "30", "report"}));
    ASSERT_TRUE(waitRowsSince(from));
    from = probeLines().size();
    ASSERT_TRUE(xdotool({"type", "--delay", "5", " contains:x"}));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    ASSERT_TRUE(waitProbedSince(from, "panel hidden")) << readFile(probe());
    QTest::qWait(300);
    from = probeLines().size();
    ASSERT_TRUE(xdotool({"key", "alt+space"}));
    ASSERT_TRUE(waitProbedSince(from, "panel shown"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (const auto& line : probeLines(from))
                if (line.starts_with("pill")) return true;
            return false;
        },
        waitLimitMs));
    for (const auto& line : probeLines(from))
        if (line.starts_with("pill")) {
            EXPECT_EQ(line, "pill") << "an empty panel shows no pill";
        }
    snapshot("app-summoned-after-escape.png");
    terminatePrimary();
}

TEST_F(AppFixture, TypedTextListsRowsReturnOpensEscapeGivesFocusBackCtrlQQuits) {
    launchPrimary();
    EXPECT_EQ(launchSecond(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelActive(); }, waitLimitMs));
    ASSERT_TRUE(xdotool({"type", "--delay", "30", "holiday"}));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto text = readFile(probe());
            const auto at = text.rfind("results ");
            return at != std::string::npos && std::strtoul(text.c_str() + at + 8, nullptr, 10) > 0;
        },
        waitLimitMs))
        << readFile(probe());
    snapshot("app-results.png");

    ASSERT_TRUE(xdotool({"key", "Return"}));
    ASSERT_TRUE(waitProbed("panel hidden"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return readFile(dir / "opened").find("/photos/holiday-") != std::string::npos; },
        waitLimitMs))
        << "Return opens the first row";

    ASSERT_TRUE(activateOther());
    ASSERT_TRUE(xdotool({"key", "alt+space"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelActive(); }, waitLimitMs));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return activeWindow() == other.winId(); }, waitLimitMs))
        << "Escape gives the keyboard back";
    quitFromThePanel();
    EXPECT_NE(readFile(dir / "config/Ulmaro/settings.json").find("/photos/holiday-"),
              std::string::npos)
        << "the open is remembered";
}

// A shortcut no version should have stored: Shift+S would take every capital S.
TEST_F(AppFixture, AStoredShiftSIsNeverGrabbedSoACapitalSStillTypes) {
    std::ofstream(dir / "config/Ulmaro/settings.json")
        << R"({"app.ulmaro.onboardingCompleted": true, "app.ulmaro.firstRunCompleted": true,
               "app.ulmaro.hotKeyCode": 1, "app.ulmaro.hotKeyModifiers": 512})";
    auto* field = new QLineEdit(&other);
    field->resize(300, 30);
    field->show();
    launchPrimary();
    ASSERT_TRUE(activateOther());
    field->setFocus();
    ASSERT_TRUE(xdotool({"key", "--delay", "50", "shift+s", "shift+s"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return field->text() == QStringLiteral("SS"); }, waitLimitMs))
        << "typed: " << field->text().toStdString();
    EXPECT_FALSE(probed("panel shown"));
    // The default stands in for it.
    ASSERT_TRUE(xdotool({"key", "alt+space"}));
    EXPECT_TRUE(waitProbed("panel shown"));
    terminatePrimary();
}

/// Another X client holding Alt+Space in every lock state, as a window manager's own binding
/// (stock openbox's) does.
class AltSpaceHolder {
public:
    AltSpaceHolder() : c_(xcb_connect(nullptr, nullptr)) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c_);
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, ' ');
        if (codes)
            for (const int locks : {0, int(XCB_MOD_MASK_LOCK), int(XCB_MOD_MASK_2),
                                    int(XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2)})
                xcb_grab_key(c_, 1, root, std::uint16_t(XCB_MOD_MASK_1 | locks), codes[0],
                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        std::free(codes);
        xcb_key_symbols_free(symbols);
        sync();
    }
    ~AltSpaceHolder() { xcb_disconnect(c_); }

private:
    void sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }
    xcb_connection_t* c_;
};

// A desktop without a tray (openbox alone, as here): the shortcut's failure says how else to
// reach the panel, once; the menu entry's launch shows the panel (the login's does not, as
// the other tests' launches show).
TEST_F(AppFixture, WithoutATrayTheTakenKeyPointsToASecondLaunchOnce) {
    const std::string desktopEntry = ULMARO_FIXTURES_DIR "/../../UlmaroApp/ulmaro.desktop";
    QStringList entryArguments;
    for (const auto& line : QString::fromStdString(readFile(desktopEntry)).split('\n'))
        if (line.startsWith(QStringLiteral("Exec=")))
            entryArguments = line.mid(5).split(' ', Qt::SkipEmptyParts).mid(1);
    ASSERT_FALSE(entryArguments.isEmpty()) << "the menu entry asks for the panel";

    AltSpaceHolder holder;
    startPrimary(entryArguments, true);
    ASSERT_TRUE(waitProbed("panel shown")) << "a start from the menu shows the panel";
    ASSERT_TRUE(waitProbed("searchable"));
    QTest::qWait(4000); // past the retries at 0.5, 1.5 and 3.5 s
    const std::string errors = primaryErrors();
    const std::string taken = "Ulmaro: could not register Alt+Space \u2014 it's already bound to "
                              "another app. Run ulmaro again to summon the panel instead.\n";
    EXPECT_NE(errors.find(taken), std::string::npos) << errors;
    EXPECT_EQ(errors.find(taken), errors.rfind(taken)) << "once:\n" << errors;
    EXPECT_EQ(errors.find("menu bar"), std::string::npos) << errors;
    EXPECT_NE(errors.find("shows no tray icons"), std::string::npos) << errors;
    terminatePrimary();
}

TEST_F(AppFixture, UnderWaylandNothingIsGrabbedAndNothingSaysTheKeyIsTaken) {
    auto env = environment();
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
    startPrimary({}, true, env);
    ASSERT_TRUE(waitProbed("searchable"));
    QTest::qWait(4000); // when retries would have run
    // The road that works there: running ulmaro again.
    EXPECT_EQ(launchSecond(), 0);
    EXPECT_TRUE(waitProbed("panel shown"));
    const std::string errors = primaryErrors();
    EXPECT_EQ(errors.find("already bound"), std::string::npos) << errors;
    const std::string why = "Ulmaro: global shortcuts need an X11 session; bind a desktop "
                            "shortcut to run ulmaro, which summons the running copy.\n";
    EXPECT_NE(errors.find(why), std::string::npos) << errors;
    EXPECT_EQ(errors.find(why), errors.rfind(why)) << "once:\n" << errors;
    terminatePrimary();
}

TEST_F(AppFixture, CtrlQQuitsFromTheSettingsWindowToo) {
    launchPrimary();
    EXPECT_EQ(launchSecond(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelActive(); }, waitLimitMs));
    ASSERT_TRUE(xdotool({"key", "ctrl+comma"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return activeWindowName() == "Settings"; }, waitLimitMs))
        << activeWindowName();
    snapshot("app-settings.png");
    forgetCheckpoint();
    ASSERT_TRUE(xdotool({"key", "ctrl+q"}));
    expectSavedAndEnded();
}

TEST_F(AppFixture, ALockThatCannotBeOpenedEndsTheLaunchAndTheFirstCopyKeepsItsSummons) {
    launchPrimary();
    // Something made a folder where the lock file was (the first copy holds the old file).
    std::filesystem::remove(runtime() / "instance.lock");
    std::filesystem::create_directory(runtime() / "instance.lock");
    QByteArray errors;
    EXPECT_EQ(launchSecond(&errors), 1) << "never a second first copy";
    EXPECT_TRUE(errors.contains("instance.lock")) << errors.toStdString();
    EXPECT_FALSE(probed("panel shown"));
    EXPECT_TRUE(UnixSocketSummonChannel::send(runtime() / "summon"))
        << "the first copy still answers its socket";
    EXPECT_TRUE(waitProbed("panel shown"));
    terminatePrimary();
}

TEST_F(AppFixture, DamagedSettingsAreToldOnceAndSetAside) {
    std::ofstream(dir / "config/Ulmaro/settings.json", std::ios::trunc) << "{ broken by hand";
    startPrimary();
    ASSERT_TRUE(waitProbed("notice settings damaged"));
    snapshot("app-settings-damaged.png");
    EXPECT_EQ(readFile(dir / "config/Ulmaro/settings.json.damaged"), "{ broken by hand");
    primary.terminate();
    ASSERT_TRUE(primary.waitForFinished(waitLimitMs));
    std::filesystem::remove(probe());
    startPrimary();
    ASSERT_TRUE(waitProbed("panel shown")); // the first run again: its flags went with the file
    QTest::qWait(500);
    EXPECT_FALSE(probed("notice settings damaged")) << "told once";
    primary.terminate();
    ASSERT_TRUE(primary.waitForFinished(waitLimitMs));
}

// A logout that ends the X server: Qt ends the process itself when the connection breaks,
// with no quit request; the save at the end (checkpoint, frecency, settings) still runs.
TEST_F(AppFixture, LosingTheXServerStillSavesBeforeTheProcessEnds) {
    test::PrivateXServer server(ULMARO_OPENBOX_TEST_CONFIG);
    ASSERT_FALSE(server.display().empty()) << server.error();
    auto env = environment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromStdString(server.display()));
    startPrimary({}, true, env);
    ASSERT_TRUE(waitProbed("searchable"));
    forgetCheckpoint();
    server.killServer();
    ASSERT_TRUE(primary.waitForFinished(waitLimitMs));
    EXPECT_EQ(primary.exitStatus(), QProcess::NormalExit) << primaryErrors();
    EXPECT_NE(readFile(dir / "config/Ulmaro/settings.json").find("app.ulmaro.frecency"),
              std::string::npos)
        << "frecency is saved";
    EXPECT_TRUE(std::filesystem::exists(checkpoint())) << "the watcher's checkpoint is saved";
}

// The launcher where no application module sits beside it: one line naming where it looked,
// exit 1, and nothing left behind that would keep a real launch from becoming the first copy.
TEST_F(AppFixture, LauncherWithoutItsModuleSaysWhereItLookedAndExitsOne) {
    const auto launcher = dir / "prefix/bin/ulmaro";
    std::filesystem::create_directories(launcher.parent_path());
    std::filesystem::copy_file(ULMARO_APP_PATH, launcher);
    QProcess app;
    app.setProcessEnvironment(environment());
    app.start(QString::fromStdString(launcher.string()), {});
    ASSERT_TRUE(app.waitForFinished(waitLimitMs));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 1);
    const std::string errors =
        QString::fromUtf8(app.readAllStandardError()).trimmed().toStdString();
    const auto looked = std::filesystem::canonical(dir.path()) / "prefix/lib/ulmaro/";
    EXPECT_NE(errors.find(looked.string()), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 0) << errors;

    launchPrimary();
    EXPECT_EQ(launchSecond(), 0);
    EXPECT_TRUE(waitProbed("panel shown")) << "the real launch became the first copy";
}

TEST(AppWithoutDisplay, SaysSoInOneLineAndExitsOne) {
    QProcess app;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":65000"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    app.setProcessEnvironment(env);
    app.start(QStringLiteral(ULMARO_APP_PATH), {});
    ASSERT_TRUE(app.waitForFinished(waitLimitMs));
    EXPECT_EQ(app.exitCode(), 1);
    const QString errors = QString::fromUtf8(app.readAllStandardError()).trimmed();
    EXPECT_TRUE(errors.contains(QStringLiteral("display"))) << errors.toStdString();
    EXPECT_EQ(errors.count(QLatin1Char('\n')), 0) << errors.toStdString();
}

} // namespace
} // namespace ulmaro
