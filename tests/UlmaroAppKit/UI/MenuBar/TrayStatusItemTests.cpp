#include "../../MenuBar/MenuBarFixture.h"
#include "../../MenuBar/MenuOutline.h"
#include "UlmaroAppKit/MenuBar/MenuBarController.h"
#include "UlmaroAppKit/Text/UserLocale.h"
#include "UlmaroAppKit/UI/MenuBar/TrayStatusItem.h"
#include "support/GoldenImage.h"

#include <QApplication>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using VM = MenuBarViewModel;
using ::testing::ElementsAre;
using namespace std::chrono_literals;

// The QMenu read back from its actions, in the outline form `test::outline` gives a MenuSpec.
void appendOutline(const QMenu& menu, const std::string& indent, std::vector<std::string>& lines) {
    for (const QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            lines.push_back(indent + "---");
            continue;
        }
        EXPECT_TRUE(action->shortcut().isEmpty()) << "hints are never live shortcuts";
        const QStringList parts = action->text().split(QLatin1Char('\t'));
        std::string line = indent + QString(parts[0]).replace("&&", "&").toStdString();
        if (parts.size() > 1) line += " [" + parts[1].toStdString() + "]";
        if (!action->isEnabled()) line += " (off)";
        if (action->isCheckable()) line += action->isChecked() ? " [x]" : " [ ]";
        lines.push_back(line);
        if (action->menu()) appendOutline(*action->menu(), indent + "  ", lines);
    }
}

std::vector<std::string> outline(const QMenu& menu) {
    std::vector<std::string> lines;
    appendOutline(menu, "", lines);
    return lines;
}

QAction* actionTitled(const QMenu& menu, const QString& prefix) {
    for (QAction* action : menu.actions()) {
        if (action->text().startsWith(prefix)) return action;
        if (action->menu())
            if (QAction* inner = actionTitled(*action->menu(), prefix)) return inner;
    }
    return nullptr;
}

class TrayStatusItemTest : public ::testing::Test, protected test::MenuBarFixture {
protected:
    std::vector<std::string> logged;
    std::shared_ptr<TrayStatusItem> tray = std::make_shared<TrayStatusItem>(
        [this](const std::string& line) { logged.push_back(line); });
    std::optional<MenuBarController> controller{std::in_place, tray, environment(), callbacks()};

    VM everything() const {
        VM viewModel{.indexState = VM::Ready{1234567, clock->now()},
                     .recentSearches = {{"q", 1, clock->now()}},
                     .startAtLogin = LoginItemViewModel::DisplayState::on,
                     .savedSearches = {{"R&D notes", "ext:md r&d"}, {"Photos", "kind:image"}},
                     .deniedDirectories = 2,
                     .deniedPaths = {"/home/ada/private", "/srv/locked"},
                     .health = health(),
                     .catalogs = {{"c1", "Backup", true, false, false},
                                  {"c2", "Travel disk", false, true, false},
                                  {"c3", "Archive", false, false, true},
                                  {"c4", "Old laptop", false, false, false}},
                     .hotKeyUnavailable = true};
        return viewModel;
    }
};

TEST_F(TrayStatusItemTest, TheMenuIsTheSpec) {
    const VM viewModel = everything();
    controller->update(viewModel);
    const MenuSpec spec = controller->menuBuilder().buildMenu(viewModel);
    EXPECT_EQ(outline(tray->menu()), test::outline(spec));

    const QAction* saved = actionTitled(tray->menu(), "R&&D notes");
    ASSERT_NE(saved, nullptr) << "an ampersand is shown, not taken as a mnemonic";
    EXPECT_EQ(tray->menu().actions()[1]->text(), QStringLiteral("Search…\tAlt+Space"));
    EXPECT_EQ(actionTitled(tray->menu(), "/srv/locked")->toolTip(), "/srv/locked");
    EXPECT_EQ(actionTitled(tray->menu(), "~/private")->toolTip(), "/home/ada/private");

    // Each catalog row carries its symbol in its tint.
    const auto inkOf = [&](const QString& title) {
        const QImage image = actionTitled(tray->menu(), title)
                                 ->icon()
                                 .pixmap(16)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        QRgb strongest = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) > qAlpha(strongest)) strongest = image.pixel(x, y);
        return QColor::fromRgba(strongest);
    };
    EXPECT_GT(inkOf("Backup").green(), inkOf("Backup").red() + 40) << "online: green";
    EXPECT_GT(inkOf("Archive").red(), inkOf("Archive").blue() + 80) << "damaged: orange";
    const QColor offline = inkOf("Old laptop");
    EXPECT_LT(std::abs(offline.red() - offline.blue()), 10) << "offline: secondary grey";
}

TEST_F(TrayStatusItemTest, ChosenItemsRunAfterTheClickEvenWhenTheyRebuildTheMenu) {
    // Clearing recents rebuilds the menu from inside the callback, deleting the action.
    MenuBarMenuBuilder::Callbacks rebuilding = callbacks();
    rebuilding.onClearRecents = [&] {
        calls.push_back("clearRecents");
        controller->update(VM{});
    };
    controller.emplace(tray, environment(), rebuilding);
    controller->update(everything());

    QPointer<QAction> clear = actionTitled(tray->menu(), "Clear Recents");
    clear->trigger();
    EXPECT_TRUE(calls.empty()) << "never inside the menu's own signal";
    QApplication::processEvents();
    EXPECT_THAT(calls, ElementsAre("clearRecents"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(clear.isNull());
    EXPECT_FALSE(actionTitled(tray->menu(), "Clear Recents")->isEnabled());

    actionTitled(tray->menu(), "Quit Ulmaro")->trigger();
    controller.reset(); // gone before the queued call runs: nothing happens
    QApplication::processEvents();
    EXPECT_THAT(calls, ElementsAre("clearRecents"));
}

TEST_F(TrayStatusItemTest, OpenMenuRefreshesHealthLinesAndKeepsItsItems) {
    IndexHealth fresh = health();
    controller->setHealthProvider([&] { return std::optional(fresh); });
    controller->update(everything());
    const int items = int(tray->menu().actions().size());

    // A left click on the icon pops up the same menu.
    Q_EMIT tray->trayIcon().activated(QSystemTrayIcon::Trigger);
    ASSERT_TRUE(tray->menu().isVisible());
    EXPECT_TRUE(controller->isMenuOpen());

    fresh.fileCount = 42;
    fresh.pendingLiveChanges = 5;
    controller->update(VM{}); // waits for the menu to close
    clock->advance(0.5s);
    EXPECT_NE(actionTitled(tray->menu(), "42 files indexed"), nullptr);
    EXPECT_EQ(actionTitled(tray->menu(), "5 live changes"), nullptr);
    EXPECT_EQ(tray->menu().actions().size(), items);

    tray->menu().hide();
    EXPECT_FALSE(controller->isMenuOpen());
    EXPECT_EQ(outline(tray->menu()), test::outline(controller->menuBuilder().buildMenu(VM{})));
}

TEST_F(TrayStatusItemTest, AMenuWidenedWhileOpenStaysOnTheScreen) {
    // Opened at the right edge, sized for the lines it was built with; a live line that grows
    // while it is open must not push it past the edge.
    IndexHealth fresh = health();
    controller->setHealthProvider([&] { return std::optional(fresh); });
    controller->update(VM{.indexState = VM::Ready{7, clock->now()}, .health = health()});
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    tray->menu().popup(QPoint(screen.right() - 4, screen.top() + 10));
    ASSERT_TRUE(tray->menu().isVisible());
    const int width = tray->menu().width();
    ASSERT_TRUE(screen.contains(tray->menu().geometry()));

    fresh.fileCount = 123'456'789'012'345;
    clock->advance(0.5s);
    ASSERT_NE(actionTitled(tray->menu(), "123,456,789,012,345 files indexed"), nullptr);
    QApplication::processEvents();
    EXPECT_GT(tray->menu().width(), width) << "the longer line is shown whole";
    EXPECT_TRUE(screen.contains(tray->menu().geometry()))
        << tray->menu().geometry().right() << " > " << screen.right();
    tray->menu().hide();
}

TEST_F(TrayStatusItemTest, IconFollowsTheGlyphAndThePalette) {
    const auto centre = [&] {
        const QImage image =
            tray->trayIcon().icon().pixmap(22).toImage().convertToFormat(QImage::Format_ARGB32);
        return QColor::fromRgba(image.pixel(11, 11));
    };
    controller->update(VM{.indexState = VM::Failed{"x"}});
    EXPECT_EQ(tray->accessibilityDescription(), QStringLiteral("Ulmaro — index failed"));
    EXPECT_EQ(tray->trayIcon().toolTip(), QStringLiteral("x"));
    EXPECT_EQ(centre().alpha(), 255);
    EXPECT_EQ(centre().rgb(), QApplication::palette().color(QPalette::WindowText).rgb());
    const qint64 drawn = tray->trayIcon().icon().cacheKey();
    controller->update(VM{.indexState = VM::Unavailable{"y"}});
    EXPECT_EQ(tray->trayIcon().icon().cacheKey(), drawn) << "the same mark is not sent again";
    EXPECT_EQ(tray->accessibilityDescription(), QStringLiteral("Ulmaro — index unavailable"));

    const QPalette original = QApplication::palette();
    QPalette red = original;
    red.setColor(QPalette::WindowText, QColor(200, 0, 0));
    QApplication::setPalette(red);
    EXPECT_EQ(centre().rgb(), QColor(200, 0, 0).rgb()) << "redrawn for the new palette";
    QApplication::setPalette(original);
}

TEST_F(TrayStatusItemTest, WithoutATraySaysSoOnceAndRunsOn) {
    tray->show();
    if (QSystemTrayIcon::isSystemTrayAvailable())
        EXPECT_TRUE(logged.empty());
    else
        EXPECT_THAT(logged, ElementsAre(::testing::HasSubstr("shows no tray icons")));
    EXPECT_TRUE(tray->trayIcon().isVisible());
}

TEST_F(TrayStatusItemTest, Golden) {
    ScopedUserLocale locale("en_US");
    controller->update(everything());
    QMenu& menu = tray->menu();
    menu.adjustSize();
    EXPECT_TRUE(test::matchesGolden(test::grabForGolden(menu), QStringLiteral("tray-menu")));
    QMenu* catalog = actionTitled(menu, "Catalog")->menu();
    catalog->adjustSize();
    EXPECT_TRUE(
        test::matchesGolden(test::grabForGolden(*catalog), QStringLiteral("tray-menu-catalog")));
}

} // namespace
} // namespace ulmaro
