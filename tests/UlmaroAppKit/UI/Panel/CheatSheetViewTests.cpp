#include "UlmaroAppKit/Panel/SearchSyntax.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Panel/CheatSheetView.h"

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

} // namespace
} // namespace ulmaro
