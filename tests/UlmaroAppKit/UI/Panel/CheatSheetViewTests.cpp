#include "UlmaroAppKit/Panel/SearchSyntax.h"
#include "UlmaroAppKit/UI/Kit/ElidedLabel.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Panel/CheatSheetView.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

QStringList labelTexts(const QWidget& sheet) {
    QStringList texts;
    for (const QLabel* label : sheet.findChildren<QLabel*>())
        texts << label->text();
    return texts;
}

TEST(CheatSheetView, HeightKeysAndSummonText) {
    CheatSheetView sheet("Super+K");
    sheet.resize(680, sheet.height());
    sheet.show();
    EXPECT_EQ(sheet.height(), 540);
    EXPECT_EQ(CheatSheetView::sheetHeight(), 540);
    // Content beyond the frame scrolls.
    EXPECT_EQ(sheet.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);

    const QStringList texts = labelTexts(sheet);
    for (const char* expected : {"Searching", "Ctrl+/ to close", "KEYS", "FILTER BUTTONS",
                                 "BY NAME", "Super+K", "Ctrl+Backspace"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_FALSE(texts.contains(QString::fromStdString(SearchSyntax::shortcuts().front().keys)));
    EXPECT_TRUE(texts.contains(QString::fromStdString(std::string(SearchSyntax::combiningNote()))));

    // "Ctrl+Backspace" is wider than the 62 px column, which widens to hold it.
    const int widest = QFontMetrics(Theme::font(11, Theme::Weight::medium))
                           .horizontalAdvance(QStringLiteral("Ctrl+Backspace"));
    EXPECT_EQ(sheet.keyColumnWidth(), std::max(62, widest + 1));
    sheet.hide();
}

// At the panel's width in the bundled font, every example and every meaning shows whole, and
// the sheet fits without a scroll bar.
TEST(CheatSheetView, EverythingFitsUncut) {
    CheatSheetView sheet("Alt+Space");
    sheet.resize(680, sheet.height());
    sheet.show();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const auto lines = sheet.widget()->findChildren<ElidedLabel*>();
    ASSERT_GE(lines.size(), 20);
    for (const ElidedLabel* line : lines)
        EXPECT_EQ(line->shownText(), line->text()) << line->text().toStdString();
    // The examples on their fills (plain widgets of a fixed width), the widest example whole.
    int examples = 0, widestShown = 0;
    QFont exampleFont;
    for (const QWidget* child : sheet.widget()->findChildren<QWidget*>()) {
        if (std::string(child->metaObject()->className()) != "QWidget" || child->layout() ||
            child->sizePolicy().horizontalPolicy() != QSizePolicy::Fixed)
            continue;
        ++examples;
        widestShown = std::max(widestShown, child->width());
        exampleFont = child->font();
    }
    EXPECT_EQ(examples, 13);
    double widestText = 0;
    for (const auto& group : SearchSyntax::groups())
        for (const auto& entry : group.entries)
            widestText =
                std::max(widestText, QFontMetricsF(exampleFont)
                                         .horizontalAdvance(QString::fromStdString(entry.example)));
    EXPECT_GE(widestShown, widestText + 10) << "padded 5 on each side";
    EXPECT_FALSE(sheet.verticalScrollBar()->isVisible());
    EXPECT_LE(sheet.widget()->height(), sheet.viewport()->height());
    sheet.hide();
}

} // namespace
} // namespace ulmaro
