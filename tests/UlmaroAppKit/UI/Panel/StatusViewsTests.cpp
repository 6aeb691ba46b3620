#include "UlmaroAppKit/Panel/IconResolver.h"
#include "UlmaroAppKit/Panel/OverlayViewModelFixture.h"
#include "UlmaroAppKit/UI/Panel/IndexingStatusView.h"
#include "UlmaroAppKit/UI/Panel/ResultArea.h"
#include "UlmaroAppKit/UI/Panel/StatusLine.h"
#include "UlmaroAppKit/UI/Qt/QtIconSource.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

TEST(IndexingStatusView, CountsInEnglishAndSweepsOnlyWhileShown) {
    IndexingStatusView zero(0, [] {});
    EXPECT_EQ(zero.text(), "Finding your files — 0 so far");
    IndexingStatusView view(1200000, [] {});
    EXPECT_EQ(view.text(), "Finding your files — 1,200,000 so far");
    EXPECT_FALSE(view.isSweeping());
    EXPECT_EQ(view.shimmerPhase(), -1.0);
    view.show();
    EXPECT_TRUE(view.isSweeping());
    view.hide();
    EXPECT_FALSE(view.isSweeping());
    view.holdPhase(0.25);
    view.show();
    EXPECT_FALSE(view.isSweeping());
    EXPECT_EQ(view.shimmerPhase(), 0.25);
}

TEST(IndexingStatusView, ANewerCountKeepsTheViewAndANewBuildStartsAgain) {
    test::OverlayFixture t;
    ResultArea area(
        t.model, std::make_shared<IconResolver>(std::make_shared<QtIconSource>()), [] {}, [] {});
    area.show();
    t.model->applyIndexingState(10);
    auto* first = qobject_cast<IndexingStatusView*>(area.stateView());
    ASSERT_NE(first, nullptr);
    first->holdPhase(0.5);
    t.model->applyIndexingState(12345);
    EXPECT_EQ(area.stateView(), first);
    EXPECT_EQ(first->text(), "Finding your files — 12,345 so far");
    EXPECT_EQ(first->shimmerPhase(), 0.5);

    t.model->state.set(OverlayResultState::failed("Disk gone"));
    t.model->applyIndexingState(1);
    auto* again = qobject_cast<IndexingStatusView*>(area.stateView());
    ASSERT_NE(again, nullptr);
    QCoreApplication::processEvents();
    EXPECT_TRUE(again->isSweeping());
    EXPECT_LT(again->shimmerPhase(), -0.5);
}

TEST(StatusLine, DetailLines) {
    const QString longDetail =
        QString("Not indexed: ") + QString("/srv/a-rather-long-folder-name/").repeated(8);
    const struct {
        std::optional<std::string> detail;
        bool secondLine;
        bool cut;
    } cases[] = {
        {std::nullopt, false, false},
        {"", true, false}, // an empty detail still takes its blank line
        {"/srv/a", true, false},
        {longDetail.toStdString(), true, true},
    };
    StatusLine plain("Some folders are not indexed", "exclamationmark.triangle", std::nullopt,
                     8);
    const int oneLine = plain.sizeHint().height();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.detail.value_or("(none)"));
        StatusLine line("Some folders are not indexed", "exclamationmark.triangle", c.detail,
                        8);
        line.resize(680, line.sizeHint().height());
        line.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(line.sizeHint().height() > oneLine, c.secondLine);
        EXPECT_EQ(line.detail().has_value(), c.detail.has_value());
        if (!c.detail) continue;
        EXPECT_EQ(line.detail()->toStdString(), *c.detail);
        const QString shown = *line.shownDetail();
        EXPECT_EQ(shown != *line.detail(), c.cut);
        EXPECT_EQ(shown.endsWith(QChar(0x2026)), c.cut);
        // Hovering shows the whole detail.
        auto* label = line.findChildren<QWidget*>().back();
        EXPECT_EQ(label->toolTip().toStdString(), *c.detail);
    }
}

} // namespace
} // namespace ulmaro
