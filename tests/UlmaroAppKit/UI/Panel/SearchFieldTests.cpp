#include "OverlayViewFixture.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Panel/OverlayHeader.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Panel/PreviewWindow.h"
#include "UlmaroAppKit/UI/Panel/ResultRowView.h"
#include "UlmaroAppKit/UI/Panel/SearchField.h"
#include "support/TempDir.h"

#include <QKeyEvent>
#include <QTest>
#include <QTextLayout>
#include <fstream>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using test::OverlayViewUnderTest;
using test::row;

TEST(SearchField, KeysThroughTheRealLineEdit) {
    OverlayViewUnderTest t;
    SearchField& field = *t.view->header()->field();
    EXPECT_EQ(field.font().pixelSize(), 24);
    EXPECT_FALSE(field.hasFrame());
    EXPECT_EQ(field.placeholderText(), "Search your computer…");
    QTest::keyClicks(&field, "o");
    t.engine->answerLast(test::resultsOf({row(1, "/a/two"), row(2, "/a/one"), row(3, "/a/zero")}));
    t.mainQueue->drain();

    QTest::keyClick(&field, Qt::Key_Down);
    EXPECT_EQ(t.model->selectedID.get(), 2u);
    EXPECT_TRUE(field.isCaretHidden()) << "browsing hides the caret";
    QTest::keyClick(&field, Qt::Key_Up);
    EXPECT_EQ(t.model->selectedID.get(), 1u);

    // Alt+Return reveals and hides the panel; Return opens and never adds a line.
    QTest::keyClick(&field, Qt::Key_Return, Qt::AltModifier);
    EXPECT_EQ(t.actions->revealed, std::vector<std::string>{"/a/two"});
    EXPECT_EQ(t.dismissals, 1);
    QTest::keyClick(&field, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(t.events.back(), "open /a/two");
    EXPECT_EQ(t.dismissals, 2);
    EXPECT_EQ(field.text(), "o");

    // Ctrl+Backspace on a row of this computer trashes it and keeps the query.
    QTest::keyClick(&field, Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(t.actions->trashed, std::vector<std::string>{"/a/two"});
    EXPECT_EQ(t.model->rows().size(), 2u);
    EXPECT_EQ(field.text(), "o");
    QTest::keyClick(&field, Qt::Key_A);
    EXPECT_FALSE(field.isCaretHidden()) << "typing shows the caret again";
}

TEST(SearchField, CtrlBackspaceWithoutARowDeletesEverythingBeforeTheCaret) {
    OverlayViewUnderTest t;
    SearchField& field = *t.view->header()->field();
    QTest::keyClicks(&field, "two words");
    t.engine->answerLast(test::resultsOf({row(1, "/media/b/x", test::offlineCatalog())}));
    t.mainQueue->drain();
    ASSERT_EQ(t.model->selectedID.get(), 1u);
    field.setCursorPosition(4);
    QTest::keyClick(&field, Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_TRUE(t.actions->trashed.empty()) << "an offline row stays";
    EXPECT_EQ(field.text(), "words") << "all of it, not Qt's word";
    EXPECT_EQ(field.cursorPosition(), 0);
    EXPECT_EQ(t.model->queryText.get(), "words");
}

TEST(SearchField, RefusesThePanelsShortcutsAndKeepsItsOwn) {
    OverlayViewUnderTest t;
    SearchField& field = *t.view->header()->field();
    auto claims = [&](int key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent override(QEvent::ShortcutOverride, key, modifiers);
        override.ignore();
        QCoreApplication::sendEvent(&field, &override);
        return override.isAccepted();
    };
    for (int key : {Qt::Key_C, Qt::Key_1, Qt::Key_8, Qt::Key_Return, Qt::Key_Y, Qt::Key_D,
                    Qt::Key_T, Qt::Key_Comma, Qt::Key_Slash})
        EXPECT_FALSE(claims(key, Qt::ControlModifier)) << key;
    EXPECT_TRUE(claims(Qt::Key_A, Qt::ControlModifier)) << "select all stays the field's";
}

// Down and Up in the panel's field move the preview on screen along with the selection.
TEST(SearchField, ArrowsReloadAVisiblePreview) {
    test::TempDir dir;
    const std::string first = (dir.path() / "first.txt").string();
    const std::string second = (dir.path() / "second.txt").string();
    std::ofstream(first) << "one";
    std::ofstream(second) << "two";
    OverlayViewUnderTest t;
    OverlayPanel panel;
    panel.previewURLProvider = [&] { return t.model->selectedPath(); };
    OverlayView* view = t.view.release();
    panel.setContent(view);
    panel.makeKeyAndOrderFront();
    t.showRows({row(1, first), row(2, second)}, "t");
    panel.quickLookSelected();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.preview().shownPath() == first; }, 5000));
    QTest::keyClick(view->header()->field(), Qt::Key_Down);
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel.preview().shownPath() == second; }, 5000));
    panel.orderOut();
}

TEST(ResultRowView, BoldRunsAreFormatsAtUtf16Positions) {
    RankedRow emoji = row(1, "/a/\xF0\x9F\x98\x80 plan.txt");
    emoji.matchRanges = {{5, 9}};
    auto layout = ResultRowView::nameLayout(emoji, Theme::font(13), 600);
    EXPECT_EQ(layout->text(), QString::fromUtf8("\xF0\x9F\x98\x80 plan.txt"));
    const auto formats = layout->formats();
    ASSERT_EQ(formats.size(), 1);
    EXPECT_EQ(formats[0].start, 3) << "the emoji is two UTF-16 units";
    EXPECT_EQ(formats[0].length, 4);
    EXPECT_EQ(formats[0].format.fontWeight(), QFont::Bold);

    // Too long for its width: cut with an ellipsis, the bold part cut with it.
    RankedRow longName = row(2, "/a/" + std::string(200, 'x'));
    longName.matchRanges = {{0, 200}};
    auto cut = ResultRowView::nameLayout(longName, Theme::font(13), 100);
    EXPECT_TRUE(cut->text().endsWith(QChar(0x2026)));
    EXPECT_LT(cut->text().size(), 200);
    EXPECT_EQ(cut->formats()[0].start + cut->formats()[0].length, cut->text().size() - 1);
}

} // namespace
} // namespace ulmaro
