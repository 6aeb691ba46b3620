#include "OverlayViewFixture.h"
#include "UlmaroAppKit/UI/Panel/OverlayNotices.h"
#include "UlmaroAppKit/UI/Panel/SuggestionButton.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace ulmaro {
namespace {

QStringList noticeTexts(const QWidget& box) {
    QStringList texts;
    for (const QLabel* label : box.findChildren<QLabel*>())
        texts << label->text();
    return texts;
}

TEST(OverlayNotices, CompletionCardWithAndWithoutSuggestions) {
    test::OverlayFixture t;
    t.model->setHotKeyStatus(HotKeyStatus{});
    t.model->completeFirstRunIndexing(1234, {});
    std::unique_ptr<QWidget> plain(OverlayNotices::firstRunCompletion(
        t.model, [] {}, nullptr));
    EXPECT_FALSE(noticeTexts(*plain).contains("TRY ONE OF THESE"));
    EXPECT_TRUE(noticeTexts(*plain).contains("Press Alt+Space anywhere."));
    EXPECT_TRUE(plain->findChildren<SuggestionButton*>().isEmpty());

    RankedRow folder = test::row(1, "/home/ana/Projects");
    folder.isDirectory = true;
    const std::string longPath =
        "/home/ana/Documents/Archive/2019/Quarterly/Reports/Finance/Final/q3-summary.pdf";
    t.model->suggestions.set({folder, test::row(2, longPath)});
    int dismissals = 0;
    std::unique_ptr<QWidget> card(OverlayNotices::firstRunCompletion(
        t.model, [&] { ++dismissals; }, nullptr));
    card->resize(300, card->sizeHint().height());
    card->show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(noticeTexts(*card).contains("TRY ONE OF THESE"));
    const auto buttons = card->findChildren<SuggestionButton*>();
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_STREQ(buttons[0]->symbol(), "folder");
    EXPECT_STREQ(buttons[1]->symbol(), "doc");
    // Cut in the middle: both ends stay.
    const QString shown = buttons[1]->shownPath();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    EXPECT_TRUE(shown.startsWith("/home/"));
    EXPECT_TRUE(shown.endsWith("summary.pdf"));

    // Opened as a recent file, then the panel goes; no ranking on this road.
    t.events.clear();
    QTest::mouseClick(buttons[1], Qt::LeftButton);
    EXPECT_EQ(t.events,
              (std::vector<std::string>{"file " + longPath, "dismiss", "open " + longPath}));
    EXPECT_EQ(dismissals, 1);
    EXPECT_EQ(t.model->recentFiles().front().path, longPath);
}

TEST(OverlayNotices, AccessPromptAndBanner) {
    test::OverlayFixture t;
    t.model->fdaPromptVisible.set(true);
    t.model->fdaBannerVisible.set(true);
    std::vector<std::string> calls;
    auto grant = [&] { calls.push_back("grant"); };
    std::unique_ptr<QWidget> prompt(OverlayNotices::fdaPrompt(
        grant, [&] { calls.push_back("defer"); }, nullptr));
    std::unique_ptr<QWidget> banner(OverlayNotices::fdaBanner(t.model, grant, nullptr));
    EXPECT_TRUE(noticeTexts(*prompt).contains("Search your whole computer"));

    auto button = [](QWidget& box, int index) {
        return box.findChildren<QAbstractButton*>().at(index);
    };
    QTest::mouseClick(button(*prompt, 0), Qt::LeftButton); // "Open Settings"
    QTest::mouseClick(button(*prompt, 1), Qt::LeftButton); // "Skip for now"
    QTest::mouseClick(button(*banner, 0), Qt::LeftButton); // "Grant…"
    EXPECT_EQ(calls, (std::vector<std::string>{"grant", "defer", "grant"}));

    // The cross hides the banner and nothing else.
    auto* close = banner->findChild<QAbstractButton*>("closeBanner");
    ASSERT_NE(close, nullptr);
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(t.model->fdaBannerVisible.get());
    EXPECT_TRUE(t.model->fdaPromptVisible.get());
    EXPECT_EQ(calls.size(), 3u);
}

} // namespace
} // namespace ulmaro
