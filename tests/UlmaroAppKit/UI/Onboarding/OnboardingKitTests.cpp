#include "UlmaroAppKit/Fakes/InMemorySettingsStore.h"
#include "UlmaroAppKit/Fakes/ManualClock.h"
#include "UlmaroAppKit/Onboarding/OnboardingCopy.h"
#include "UlmaroAppKit/Onboarding/OnboardingViewModel.h"
#include "UlmaroAppKit/Panel/IconResolver.h"
#include "UlmaroAppKit/Text/UserLocale.h"
#include "UlmaroAppKit/UI/Kit/ElidedLabel.h"
#include "UlmaroAppKit/UI/Onboarding/AllSetFallback.h"
#include "UlmaroAppKit/UI/Onboarding/BrandMarkView.h"
#include "UlmaroAppKit/UI/Onboarding/DriveRow.h"
#include "UlmaroAppKit/UI/Onboarding/KeyCap.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingBodyZone.h"
#include "UlmaroAppKit/UI/Onboarding/OnboardingStepShell.h"
#include "UlmaroAppKit/UI/Onboarding/StepDots.h"
#include "UlmaroAppKit/UI/Onboarding/SuggestionRow.h"
#include "UlmaroAppKit/UI/Onboarding/TryTheseStep.h"
#include "UlmaroAppKit/UI/Qt/QtIconSource.h"
#include "support/GoldenImage.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

QImage grab(QWidget& widget) {
    return test::grabForGolden(widget);
}

int lightness(QRgb p) {
    return (qRed(p) + qGreen(p) + qBlue(p)) / 3;
}

/// The mark's pixels over the window colour.
QImage markImage(BrandMarkView& mark) {
    QImage image(mark.size(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    mark.render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}

TEST(BrandMarkView, PixelsAtRestAndAfterOneTick) {
    auto clock = std::make_shared<ManualClock>();
    BrandMarkView mark(52, true, nullptr, clock);
    const QImage rest = markImage(mark);

    // The gradient runs from violet-blue at the top left to purple at the bottom right.
    const QRgb topLeft = rest.pixel(9, 9), bottomRight = rest.pixel(42, 42);
    EXPECT_NEAR(qRed(topLeft), 55, 14);
    EXPECT_NEAR(qGreen(topLeft), 48, 8);
    EXPECT_NEAR(qBlue(topLeft), 163, 14);
    EXPECT_NEAR(qRed(bottomRight), 124, 14);
    EXPECT_NEAR(qBlue(bottomRight), 237, 14);
    EXPECT_EQ(rest.pixel(1, 1), qRgb(0, 0, 0)) << "the margin stays clear";
    EXPECT_EQ(rest.pixel(26, 26), qRgb(255, 255, 255)) << "the dot";
    // The top ray's tip is opaque white; the up-left one is dimmer.
    EXPECT_EQ(rest.pixel(25, 11), qRgb(255, 255, 255));
    const QRgb shortTip = rest.pixel(18, 18);
    EXPECT_GT(lightness(shortTip), lightness(topLeft) + 40);
    EXPECT_LT(lightness(shortTip), 235);

    mark.show();
    EXPECT_TRUE(mark.isTicking());
    clock->advance(Seconds(0.4));
    EXPECT_EQ(mark.step(), 1);
    mark.finishTransition();
    const QImage ticked = markImage(mark);
    // 11.25° clockwise: the top ray left (25, 11) and leans right; the dot grew.
    EXPECT_LT(lightness(ticked.pixel(25, 11)), 200);
    EXPECT_EQ(ticked.pixel(28, 14), qRgb(255, 255, 255));
    EXPECT_GT(lightness(ticked.pixel(28, 27)), lightness(rest.pixel(28, 27)) + 20);

    mark.hide();
    EXPECT_FALSE(mark.isTicking());
    clock->advance(Seconds(2));
    EXPECT_EQ(mark.step(), 1);

    BrandMarkView still(64, false, nullptr, clock);
    still.show();
    EXPECT_FALSE(still.isTicking());
}

/// A card that counts its paints, as the welcome step's page behind the mark.
class CountingCard final : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        ++paints;
        QPainter(this).fillRect(rect(), QColor(236, 236, 236));
    }
};

// Once on screen a spinning mark repaints its own square only: the card behind it is drawn
// once into the mark's copy of its backdrop, not on every frame of a turn.
TEST(BrandMarkView, ATurnRepaintsOnlyTheMark) {
    auto clock = std::make_shared<ManualClock>();
    CountingCard card;
    card.resize(300, 200);
    auto* mark = new BrandMarkView(46, true, &card, clock);
    mark->move(40, 40);
    card.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&card));
    QTest::qWait(50); // the first frame, then the copy of what lies behind
    const int before = card.paints;
    for (int tick = 0; tick < 3; ++tick) {
        clock->advance(Seconds(0.4));
        QTest::qWait(BrandMarkView::easingMilliseconds + 30);
    }
    EXPECT_EQ(mark->step(), 3);
    EXPECT_EQ(card.paints, before) << "the card is not repainted under a turn";
    // The mark stands on the card's colour, not on black or nothing.
    const QImage shown = card.grab(QRect(40, 40, 46, 46)).toImage();
    EXPECT_EQ(shown.pixelColor(1, 1), QColor(236, 236, 236));

    // Moved, it takes a new copy: the old one shows what lay behind the old place.
    card.paints = 0;
    mark->move(120, 60);
    QTest::qWait(50);
    EXPECT_GT(card.paints, 0);
}

/// A block of a fixed height standing for any step content.
QWidget* block(int height, QSizePolicy::Policy horizontal = QSizePolicy::Preferred) {
    auto* widget = new QWidget;
    widget->setFixedHeight(height);
    widget->setMinimumWidth(100);
    widget->setSizePolicy(horizontal, QSizePolicy::Fixed);
    return widget;
}

TEST(OnboardingStepShell, ZonesShortAndTallBodiesAndStackedActions) {
    auto* shortBody = block(40);
    auto* first = new QPushButton("Continue");
    auto* second = new QPushButton("Continue in background");
    OnboardingStepShell shell("A title", {shortBody}, {first, second});
    shell.resize(624, 320);
    shell.show();
    EXPECT_EQ(shell.titleLabel().height(), 62);
    EXPECT_EQ(shell.actionZone().height(), 52);
    EXPECT_EQ(shell.bodyZone().height(), 206);
    EXPECT_TRUE(shell.titleLabel().alignment() & Qt::AlignHCenter);
    // Centred both ways in the zone.
    const QPoint topLeft = shortBody->mapTo(&shell.bodyZone(), QPoint(0, 0));
    EXPECT_NEAR(topLeft.y() + 20, 103, 1);
    EXPECT_NEAR(topLeft.x() + shortBody->width() / 2, 312, 1);
    EXPECT_EQ(shell.bodyZone().verticalScrollBar()->maximum(), 0);
    EXPECT_GE(second->geometry().top(), first->geometry().bottom()) << "one under the other";
    EXPECT_EQ(first->geometry().center().x(), second->geometry().center().x());

    auto* tall = block(500, QSizePolicy::Expanding);
    auto* wrapped = new QLabel("Two lines of running text that the shell centres.");
    wrapped->setWordWrap(true);
    OnboardingStepShell scrolling(
        "A title long enough to wrap onto a second line inside the title zone of the step",
        {tall, wrapped}, {new QPushButton("Done")});
    scrolling.resize(624, 320);
    scrolling.show();
    EXPECT_EQ(scrolling.titleLabel().height(), 62);
    EXPECT_GT(scrolling.titleLabel().heightForWidth(624), scrolling.fontMetrics().height());
    EXPECT_EQ(tall->mapTo(&scrolling.bodyZone(), QPoint(0, 0)).y(), 0) << "starts at the top";
    EXPECT_GT(scrolling.bodyZone().verticalScrollBar()->maximum(), 300);
    EXPECT_GT(tall->width(), 560) << "a row asking for width takes it";
    EXPECT_TRUE(wrapped->alignment() & Qt::AlignHCenter);
}

TEST(DriveRow, CapacityInGigabytesOrTerabytesOnly) {
    ScopedUserLocale pinned("en_US");
    struct Case {
        std::optional<std::int64_t> bytes;
        std::optional<std::string> text;
    };
    for (const Case& c : std::vector<Case>{{std::nullopt, std::nullopt},
                                           {0, std::nullopt},
                                           {-4096, std::nullopt},
                                           {260'000'000, "0.26 GB"},
                                           {500'107'862'016, "500.11 GB"},
                                           {2'000'000'000'000, "2 TB"}})
        EXPECT_EQ(DriveRow::capacityText(c.bytes), c.text) << c.bytes.value_or(-1);

    MountedVolume drive;
    drive.name = "An external drive whose name is far too long for one row of the step";
    drive.totalBytes = 0;
    DriveRow row(drive);
    row.resize(360, row.sizeHint().height());
    row.show();
    EXPECT_EQ(row.capacityLabel(), nullptr);
    EXPECT_TRUE(row.nameLabel().shownText().endsWith(QChar(0x2026)));
    EXPECT_EQ(row.nameLabel().height(), row.nameLabel().fontMetrics().height());
    EXPECT_EQ(row.height(), row.nameLabel().height() + 12);
}

/// Icons of one colour, so that pictures never depend on the desktop's icon theme.
class SolidIcons final : public IconSource {
public:
    std::shared_ptr<const IconImage> iconForFile(const std::string&) override { return make(); }
    std::shared_ptr<const IconImage> genericApplicationIcon() override { return make(); }

private:
    static std::shared_ptr<const IconImage> make() {
        QPixmap pixmap(44, 44);
        pixmap.fill(QColor(70, 120, 200));
        return std::make_shared<QtIconImage>(QIcon(pixmap));
    }
};

RankedRow suggestion(std::uint32_t id, const std::string& path) {
    RankedRow row;
    row.id = id;
    row.path = path;
    row.name = path.substr(path.rfind('/') + 1);
    return row;
}

struct TryTheseFixture {
    std::shared_ptr<InMemorySettingsStore> store = std::make_shared<InMemorySettingsStore>();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    IconResolver icons{std::make_shared<SolidIcons>()};
    OnboardingViewModel model{true, store, true, {}, {}};
    int done = 0;

    std::unique_ptr<TryTheseStep> make() {
        model.hotKey.set(HotKeyStatus{});
        auto step = std::make_unique<TryTheseStep>(
            model, &icons, [this] { ++done; }, nullptr, clock);
        step->resize(624, 320);
        step->show();
        return step;
    }
    void suggest(std::size_t count) {
        std::vector<RankedRow> rows;
        for (std::uint32_t i = 1; i <= count; ++i)
            rows.push_back(
                suggestion(i, "/home/tester/Documents/report-" + std::to_string(i) + ".pdf"));
        model.applyIndexingComplete(1'845'603, std::move(rows));
    }
};

std::vector<QString> rowNames(const QWidget& step) {
    std::vector<QString> names;
    for (auto* row : step.findChildren<SuggestionRow*>())
        names.push_back(row->nameLabel().text());
    return names;
}

TEST(TryTheseStep, RowsOrTheFallbackAndDone) {
    struct Case {
        std::size_t suggestions;
        std::string_view title;
        std::vector<QString> rows;
    };
    const std::vector<Case> cases = {
        {5, OnboardingCopy::tryTheseHeader, {"report-1.pdf", "report-2.pdf", "report-3.pdf"}},
        {1, OnboardingCopy::tryTheseHeader, {"report-1.pdf"}},
        {0, OnboardingCopy::allSetTitle, {}},
    };
    for (const Case& c : cases) {
        TryTheseFixture f;
        f.suggest(c.suggestions);
        auto step = f.make();
        EXPECT_EQ(step->shell().titleLabel().text().toStdString(), c.title);
        EXPECT_EQ(rowNames(*step), c.rows) << c.suggestions;
        EXPECT_EQ(step->fallback() != nullptr, c.rows.empty());
        if (step->footer()) {
            EXPECT_EQ(step->footer()->text(),
                      "Searched all 1,845,603 files on this computer to find these.");
        }
        auto* done = step->shell().actionZone().findChild<QPushButton*>();
        ASSERT_NE(done, nullptr);
        EXPECT_EQ(done->text(), "Done");
        done->click();
        EXPECT_EQ(f.done, 1);
    }

    // Counts follow the model in place; new suggestions replace the fallback.
    TryTheseFixture f;
    auto step = f.make();
    ASSERT_NE(step->fallback(), nullptr);
    f.model.applyIndexingProgress(1'234);
    EXPECT_EQ(step->fallback()->countText(), "1,234");
    f.suggest(2);
    EXPECT_EQ(step->fallback(), nullptr);
    EXPECT_EQ(rowNames(*step).size(), 2u);
}

TEST(SuggestionRow, LongNamesAndPathsKeepOneLine) {
    IconResolver icons{std::make_shared<SolidIcons>()};
    const auto row =
        suggestion(1, "/home/tester/Projects/an/exceedingly/deep/folder/tree/with/many/levels/"
                      "a-file-name-that-goes-on-and-on-far-beyond-the-row.txt");
    SuggestionRow view(row, &icons);
    view.resize(400, view.sizeHint().height());
    view.show();
    const QString name = view.nameLabel().shownText();
    const QString path = view.pathLabel().shownText();
    EXPECT_TRUE(name.startsWith("a-file-name") && name.endsWith(QChar(0x2026)))
        << name.toStdString();
    EXPECT_TRUE(path.startsWith("/home/tester") && path.endsWith("-row.txt") &&
                path.contains(QChar(0x2026)))
        << path.toStdString();
    EXPECT_EQ(view.height(), 6 + view.nameLabel().height() + 1 + view.pathLabel().height() + 6);
}

TEST(AllSetFallback, TheCountShrinksToSixtyPercentAndNeverWraps) {
    ScopedUserLocale pinned("de_DE");
    struct Case {
        std::int64_t count;
        int width;
        QString text;
        double smallest, largest;
    };
    const std::vector<Case> cases = {
        {1'845'603, 500, "1,845,603", 40, 40},
        {1'845'603'000'000, 300, "1,845,603,000,000", 24.01, 39.9},
        {INT64_MAX, 300, "9,223,372,036,854,775,807", 24, 24},
    };
    for (const Case& c : cases) {
        AllSetFallback fallback(c.count, HotKeyStatus{});
        fallback.resize(c.width, fallback.sizeHint().height());
        fallback.show();
        ASSERT_EQ(fallback.width(), c.width);
        EXPECT_EQ(fallback.countText(), c.text);
        EXPECT_GE(fallback.countPixelSize(), c.smallest) << c.width;
        EXPECT_LE(fallback.countPixelSize(), c.largest) << c.width;
    }
}

TEST(AllSetFallback, OneCapPerKeyOrTheLineWithoutAShortcut) {
    struct Case {
        std::string display;
        bool registered;
        std::vector<QString> caps;
        std::vector<int> widths; // 0: wider than the square
    };
    const std::vector<Case> cases = {
        {"Alt+Space", true, {"Alt", "Space"}, {0, 0}},
        {"Super+K", true, {"Super", "K"}, {0, 40}},
        {"Alt+Space", false, {}, {}},
    };
    for (const Case& c : cases) {
        const KeyCombo combo =
            c.display == "Super+K" ? KeyCombo{40, KeyCombo::command} : KeyCombo::optionSpace;
        AllSetFallback fallback(
            10,
            {c.registered ? HotKeyStatus::State::registered : HotKeyStatus::State::taken, combo});
        fallback.resize(500, fallback.sizeHint().height());
        fallback.show();
        EXPECT_EQ(fallback.capTexts(), c.caps) << c.display;
        const auto caps = fallback.caps();
        for (std::size_t i = 0; i < caps.size(); ++i) {
            EXPECT_EQ(caps[i]->height(), 40);
            if (c.widths[i] == 0)
                EXPECT_GT(caps[i]->width(), 40) << caps[i]->width();
            else
                EXPECT_EQ(caps[i]->width(), c.widths[i]);
        }
        QStringList texts;
        for (auto* label : fallback.findChildren<QLabel*>())
            texts << label->text();
        EXPECT_EQ(texts.contains("from anywhere, over any app"), c.registered);
        EXPECT_EQ(texts.contains(QString::fromUtf8(OnboardingCopy::readyNoHotkeyLine.data())),
                  !c.registered);
    }
}

TEST(StepDots, TheCurrentDotIsDarker) {
    struct Case {
        int current;
        std::vector<bool> dark;
    };
    for (const Case& c : std::vector<Case>{{3, {false, false, true, false, false, false}},
                                           {0, std::vector<bool>(6, false)},
                                           {7, std::vector<bool>(6, false)}}) {
        StepDots dots(c.current, 6);
        dots.resize(dots.sizeHint());
        EXPECT_EQ(dots.size(), QSize(66, 6));
        QImage image(dots.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        dots.render(&image, {}, {}, QWidget::DrawChildren);
        for (int i = 0; i < 6; ++i) {
            const int alpha = qAlpha(image.pixel(i * 12 + 3, 3));
            EXPECT_EQ(alpha > 150, c.dark[std::size_t(i)])
                << c.current << " dot " << i << " " << alpha;
            EXPECT_GT(alpha, 20);
        }
    }
}

TEST(KeyCap, Widths) {
    struct Case {
        QString symbol;
        bool wide;
        int least, most;
    };
    for (const Case& c : std::vector<Case>{{QString::fromUtf8("\u2318"), false, 52, 52},
                                           {"K", false, 52, 52},
                                           {"Space", true, 96, 96},
                                           {"Super", false, 53, 120},
                                           {"Scroll Lock", true, 120, 200}}) {
        KeyCap cap(c.symbol, c.wide);
        EXPECT_GE(cap.sizeHint().width(), c.least) << c.symbol.toStdString();
        EXPECT_LE(cap.sizeHint().width(), c.most) << c.symbol.toStdString();
        EXPECT_EQ(cap.sizeHint().height(), 52);
    }
}

/// A window-coloured sheet to lay views on for their golden pictures.
QWidget* sheet(int width, int height) {
    auto* widget = new QWidget;
    widget->setAutoFillBackground(true);
    widget->resize(width, height);
    return widget;
}

TEST(OnboardingKitGolden, Marks) {
    std::unique_ptr<QWidget> page(sheet(220, 84));
    auto clock = std::make_shared<ManualClock>();
    auto* row = new QHBoxLayout(page.get());
    for (double size : {46.0, 52.0, 64.0})
        row->addWidget(new BrandMarkView(size, false, page.get(), clock), 0, Qt::AlignCenter);
    page->show();
    EXPECT_TRUE(test::matchesGolden(grab(*page), "onboarding-marks"));
}

TEST(OnboardingKitGolden, TryTheseWithThreeRowsAndTheFallback) {
    {
        TryTheseFixture f;
        f.suggest(4);
        auto step = f.make();
        EXPECT_TRUE(test::matchesGolden(grab(*step), "onboarding-try-these"));
    }
    TryTheseFixture f;
    f.model.applyIndexingComplete(1'845'603, {});
    auto step = f.make();
    // The fallback is taller than the body zone: the top of it, then all of it.
    EXPECT_TRUE(test::matchesGolden(grab(*step), "onboarding-all-set"));
    AllSetFallback fallback(1'845'603, {HotKeyStatus::State::registered, {40, KeyCombo::command}});
    fallback.resize(400, fallback.sizeHint().height());
    fallback.show();
    EXPECT_TRUE(test::matchesGolden(grab(fallback), "onboarding-all-set-whole"));
}

TEST(OnboardingKitGolden, DriveRows) {
    ScopedUserLocale pinned("en_US");
    std::unique_ptr<QWidget> page(sheet(420, 90));
    auto* column = new QVBoxLayout(page.get());
    MountedVolume backup;
    backup.name = "Backup";
    backup.totalBytes = 500'107'862'016;
    MountedVolume stick;
    stick.name = "A USB stick with a rather long name that runs on past the capacity";
    stick.totalBytes = 260'000'000;
    column->addWidget(new DriveRow(backup, page.get()));
    column->addWidget(new DriveRow(stick, page.get()));
    page->show();
    EXPECT_TRUE(test::matchesGolden(grab(*page), "onboarding-drive-rows"));
}

// The application's icon is the mark at rest as the geometry writes it; scripts/update-goldens
// rewrites the file.
TEST(OnboardingKitGolden, TheApplicationIconIsTheMarkAtRest) {
    const std::string svg = BrandMarkGeometry(256).svg();
    QFile file(QStringLiteral(ULMARO_APP_ICON));
    if (const char* update = std::getenv("ULMARO_UPDATE_GOLDENS"); update && *update == '1') {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(svg.data(), qint64(svg.size()));
        file.close();
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), svg);

    // Drawn from the file, it is the view's picture.
    QSvgRenderer renderer(QByteArray::fromStdString(svg));
    ASSERT_TRUE(renderer.isValid());
    QImage fromFile(64, 64, QImage::Format_ARGB32);
    fromFile.fill(Qt::black);
    QPainter painter(&fromFile);
    renderer.render(&painter, QRectF(0, 0, 64, 64));
    painter.end();
    BrandMarkView view(64, false);
    EXPECT_TRUE(test::matchesGolden(fromFile, "onboarding-marks-64", {24, 0.02}));
    EXPECT_TRUE(test::matchesGolden(markImage(view), "onboarding-marks-64", {24, 0.02}));
}

} // namespace
} // namespace ulmaro
