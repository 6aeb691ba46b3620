#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/UI/Kit/KeptWindow.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

KeptWindow::Options catalogOptions() {
    return {QStringLiteral("Catalog"), "Catalog", QSize(760, 460), QSize(900, 560), true};
}

QPoint centredTopLeft(QSize size) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    return {area.x() + (area.width() - size.width()) / 2,
            area.y() + (area.height() - size.height()) / 2};
}

TEST(KeptWindow, BuiltOnTheFirstShowAndKeptWhenClosed) {
    InMemorySettingsStore settings;
    int built = 0;
    QPointer<QLabel> content;
    KeptWindow kept(settings, catalogOptions(), [&] {
        ++built;
        return content = new QLabel(QStringLiteral("content"));
    });
    EXPECT_EQ(kept.window(), nullptr);
    EXPECT_EQ(built, 0);

    kept.show();
    QWidget* window = kept.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Catalog"));
    EXPECT_EQ(window->minimumSize(), QSize(760, 460));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_EQ(content->window(), window);

    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    ASSERT_FALSE(content.isNull()) << "closing hides, it never deletes";
    window->move(10, 20);
    kept.show();
    EXPECT_EQ(kept.window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->pos(), QPoint(10, 20)) << "centred once, when built";
    EXPECT_EQ(built, 1);

    KeptWindow settingsWindow(
        settings, {QStringLiteral("Settings"), "Settings", {480, 400}, {480, 400}, false}, {});
    settingsWindow.show();
    EXPECT_FALSE(settingsWindow.window()->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
}

// What is stored decides the size a new window comes back with; it is centred whatever the
// stored place.
TEST(KeptWindow, RestoresTheRememberedSizeWithinItsMinimumAndTheScreen) {
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    const struct {
        const char* what;
        std::optional<nlohmann::json> stored;
        QSize expected;
    } cases[] = {
        {"nothing stored", std::nullopt, QSize(900, 560)},
        {"a stored frame", nlohmann::json{{"x", 5}, {"y", 6}, {"width", 780}, {"height", 500}},
         QSize(780, 500)},
        {"below the minimum", nlohmann::json{{"x", 0}, {"y", 0}, {"width", 300}, {"height", 200}},
         QSize(760, 460)},
        {"larger than the screen",
         nlohmann::json{{"x", 0}, {"y", 0}, {"width", 20000}, {"height", 20000}},
         screen.expandedTo(QSize(760, 460))},
        {"not a frame", nlohmann::json("900x560"), QSize(900, 560)},
    };
    for (const auto& c : cases) {
        InMemorySettingsStore settings;
        if (c.stored) settings.setValue("app.ulmaro.windowFrame.Catalog", *c.stored);
        KeptWindow kept(settings, catalogOptions(), {});
        kept.show();
        EXPECT_EQ(kept.window()->size(), c.expected) << c.what;
        EXPECT_EQ(kept.window()->pos(), centredTopLeft(c.expected)) << c.what;
    }
}

TEST(KeptWindow, RemembersItsFrameAsItMovesAndResizes) {
    InMemorySettingsStore settings;
    KeptWindow kept(settings, catalogOptions(), {});
    kept.show();
    kept.window()->setGeometry(40, 50, 1000, 700);
    WindowFrameStore frames(settings);
    EXPECT_EQ(frames.load("Catalog"), (WindowFrame{40, 50, 1000, 700}));
    kept.window()->move(60, 70);
    const QRect moved = kept.window()->geometry();
    EXPECT_NE(moved.topLeft(), QPoint(40, 50));
    EXPECT_EQ(frames.load("Catalog"), (WindowFrame{moved.x(), moved.y(), 1000, 700}));
}

} // namespace
} // namespace ulmaro
