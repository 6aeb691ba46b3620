// The drive offer and the kept windows under a real window manager: openbox on Xvfb,
// clicks from xdotool, close requests as a task bar sends them.
#include "UlmaroAppKit/Catalogs/CatalogPromptQueue.h"
#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogPromptPanel.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogPromptView.h"
#include "UlmaroAppKit/UI/Catalogs/PromptFixture.h"
#include "UlmaroAppKit/UI/Kit/KeptWindow.h"
#include "UlmaroAppKit/UI/Kit/StyledButton.h"
#include "UlmaroAppKit/UI/X11/WindowManagerFixture.h"
#include "UlmaroAppKit/UI/X11/X11Desktop.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <xcb/xcb.h>

namespace ulmaro {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

using test::activeWindow;
using test::waitLimitMs;
using test::xdotool;

bool clickAt(const QWidget& widget) {
    const QPoint centre = widget.mapToGlobal(widget.rect().center());
    return xdotool({"mousemove", "--sync", QString::number(centre.x()), QString::number(centre.y()),
                    "click", "1"});
}

/// A connection of the test's own, to speak to the window manager as a task bar does.
class Pager {
public:
    Pager() : connection_(xcb_connect(nullptr, nullptr)) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    }
    ~Pager() { xcb_disconnect(connection_); }

    /// `_NET_CLOSE_WINDOW`, which the window manager turns into WM_DELETE_WINDOW.
    void requestClose(const QWidget& window) {
        xcb_client_message_event_t event;
        std::memset(&event, 0, sizeof event);
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = std::uint32_t(window.winId());
        event.type = atom("_NET_CLOSE_WINDOW");
        event.data.data32[0] = XCB_CURRENT_TIME;
        event.data.data32[1] = 2;
        xcb_send_event(connection_, 0, root_,
                       XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(connection_);
    }

    /// The atoms of the window's `_NET_WM_STATE`, by name.
    std::vector<std::string> states(const QWidget& window) {
        std::vector<std::string> names;
        auto* reply =
            xcb_get_property_reply(connection_,
                                   xcb_get_property(connection_, 0, std::uint32_t(window.winId()),
                                                    atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 0, 32),
                                   nullptr);
        if (!reply) return names;
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        for (int i = 0; i < xcb_get_property_value_length(reply) / 4; ++i) {
            auto* name = xcb_get_atom_name_reply(connection_,
                                                 xcb_get_atom_name(connection_, atoms[i]), nullptr);
            if (!name) continue;
            names.emplace_back(xcb_get_atom_name_name(name),
                               std::size_t(xcb_get_atom_name_name_length(name)));
            std::free(name);
        }
        std::free(reply);
        return names;
    }

private:
    xcb_atom_t atom(const char* name) {
        auto* reply = xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, std::uint16_t(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return atom;
    }

    xcb_connection_t* connection_;
    xcb_window_t root_;
};

/// The tests' other window sits below the offer's place.
class UnderWindowManager : public test::OtherWindowActive {
protected:
    UnderWindowManager() { otherGeometry = QRect(100, 300, 400, 250); }
    void TearDown() override {
        other.hide();
        QApplication::processEvents();
    }

    Pager pager;
};

class PromptUnderWindowManager : public UnderWindowManager {
protected:
    test::PromptUnderTest prompt;
    CatalogPromptPanel* panel = prompt.panel.get();
    CatalogPromptQueue* queue = prompt.queue.get();
    std::vector<std::string>& answers = prompt.answers;
};

TEST_F(PromptUnderWindowManager, SitsAtTheTopRightOffTheTaskBarAndLeavesTheActiveWindowActive) {
    queue->enqueue(test::promptDrive("Backup"));
    QWidget* window = panel->panel();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window, waitLimitMs));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint expected(area.x() + area.width() - 360, area.y() + 12);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return window->geometry().topLeft() == expected; }, waitLimitMs))
        << window->geometry().x() << "," << window->geometry().y();
    EXPECT_EQ(window->width(), 340);
    EXPECT_THAT(pager.states(*window), Contains("_NET_WM_STATE_SKIP_TASKBAR"));
    EXPECT_THAT(pager.states(*window), Contains("_NET_WM_STATE_ABOVE"));

    QTest::qWait(300);
    EXPECT_EQ(activeWindow(), other.winId()) << "the offer takes no keyboard";
    EXPECT_TRUE(other.isActiveWindow());
}

TEST_F(PromptUnderWindowManager, AClickOnCatalogAnswersAndTheNextDriveFollows) {
    queue->enqueue(test::promptDrive("A"));
    queue->enqueue(test::promptDrive("B"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->panel(), waitLimitMs));
    ASSERT_TRUE(clickAt(panel->view()->catalogButton()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answers.empty(); }, waitLimitMs));
    EXPECT_THAT(answers, ElementsAre("catalog A"));

    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->panel(), waitLimitMs));
    EXPECT_EQ(queue->current()->name, "B");
    ASSERT_TRUE(clickAt(panel->view()->declineButton()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.size() == 2; }, waitLimitMs));
    EXPECT_THAT(answers, ElementsAre("catalog A", "decline B"));
    EXPECT_EQ(panel->panel(), nullptr);
}

// A click on the offer gives it the keyboard; Return then answers "Catalog".
TEST_F(PromptUnderWindowManager, ReturnAnswersOnceAClickGaveItTheKeyboard) {
    queue->enqueue(test::promptDrive("A"));
    QWidget* window = panel->panel();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window, waitLimitMs));
    ASSERT_TRUE(xdotool({"key", "Return"}));
    QTest::qWait(200);
    EXPECT_TRUE(answers.empty()) << "Return belongs to the active window";

    ASSERT_TRUE(clickAt(panel->view()->explanationLabel()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return activeWindow() == window->winId(); }, waitLimitMs));
    ASSERT_TRUE(QTest::qWaitForWindowActive(window, waitLimitMs));
    ASSERT_TRUE(xdotool({"key", "Return"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answers.empty(); }, waitLimitMs));
    EXPECT_THAT(answers, ElementsAre("catalog A"));
}

// The same request closes an ordinary window, so it did arrive.
TEST_F(PromptUnderWindowManager, ACloseRequestLeavesTheOfferUp) {
    queue->enqueue(test::promptDrive("A"));
    QWidget* window = panel->panel();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window, waitLimitMs));
    pager.requestClose(*window);
    pager.requestClose(other);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !other.isVisible(); }, waitLimitMs));
    QTest::qWait(200);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(panel->panel(), window);
    EXPECT_EQ(queue->current()->name, "A");
    EXPECT_TRUE(answers.empty());
}

class KeptWindowUnderWindowManager : public UnderWindowManager {
protected:
    KeptWindow::Options options{QStringLiteral("Catalog"), "Catalog", QSize(760, 460),
                                QSize(900, 560), true};
    InMemorySettingsStore settings;
};

TEST_F(KeptWindowUnderWindowManager, ClosedAndShownAgainIsTheSameWindowActive) {
    KeptWindow kept(settings, options, [] { return new QLabel(QStringLiteral("Catalogs")); });
    kept.show();
    QWidget* window = kept.window();
    ASSERT_TRUE(QTest::qWaitFor([&] { return activeWindow() == window->winId(); }, waitLimitMs));

    pager.requestClose(*window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, waitLimitMs));
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return activeWindow() == other.winId(); }, waitLimitMs));

    kept.show();
    EXPECT_EQ(kept.window(), window);
    EXPECT_TRUE(QTest::qWaitFor([&] { return activeWindow() == window->winId(); }, waitLimitMs));
    EXPECT_TRUE(QTest::qWaitForWindowActive(window, waitLimitMs));

    // Minimised, it comes back too. The show's activation requests may still be on their way
    // to a busy window manager, and one landing after the minimise would restore the window.
    QTest::qWait(300);
    window->showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return activeWindow() != window->winId(); }, waitLimitMs));
    kept.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return activeWindow() == window->winId(); }, waitLimitMs));
    EXPECT_FALSE(window->isMinimized());
}

TEST_F(KeptWindowUnderWindowManager, ANewWindowComesBackAtTheSizeLeft) {
    {
        KeptWindow kept(settings, options, {});
        kept.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(kept.window(), waitLimitMs));
        kept.window()->resize(1000, 640);
        ASSERT_TRUE(QTest::qWaitFor([&] { return kept.window()->size() == QSize(1000, 640); },
                                    waitLimitMs));
    }
    KeptWindow again(settings, options, {});
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(again.window(), waitLimitMs));
    EXPECT_EQ(again.window()->size(), QSize(1000, 640));
}

// With ULMARO_UI_SNAPSHOT_DIR set, the screen with the offer over another window is kept.
TEST_F(PromptUnderWindowManager, ScreenWithTheOffer) {
    const char* out = std::getenv("ULMARO_UI_SNAPSHOT_DIR");
    if (!out) GTEST_SKIP() << "ULMARO_UI_SNAPSHOT_DIR not set";
    queue->enqueue(test::promptDrive("Seagate Expansion Desk Photos Archive 2019 to 2024"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->panel(), waitLimitMs));
    QTest::qWait(200);
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    EXPECT_TRUE(screen.save(QString::fromUtf8(out) + "/screen-prompt.png"));
}

} // namespace
} // namespace ulmaro
