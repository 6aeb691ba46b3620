#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/StyledButton.h"
#include "support/GoldenImage.h"

#include <QGridLayout>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace ulmaro {
namespace {

using Theme::ButtonLook;
using Theme::ControlSize;

TEST(StyledButton, SizesFollowTheControlSizeAndTheTitle) {
    StyledButton small(ButtonLook::standard, ControlSize::small);
    StyledButton regular(ButtonLook::standard, ControlSize::regular);
    StyledButton large(ButtonLook::prominent, ControlSize::large);
    for (StyledButton* b : {&small, &regular, &large})
        PlainText::setText(*b, QStringLiteral("Continue"));
    EXPECT_EQ(small.sizeHint().height(), Theme::controlMetrics(ControlSize::small).height);
    EXPECT_LT(small.sizeHint().height(), regular.sizeHint().height());
    EXPECT_LT(regular.sizeHint().height(), large.sizeHint().height());
    EXPECT_LT(small.sizeHint().width(), large.sizeHint().width());

    // "&" is shown, not read as a mnemonic, and counts in the width.
    StyledButton amp, plain;
    PlainText::setText(amp, QStringLiteral("A & B"));
    PlainText::setText(plain, QStringLiteral("A  B"));
    EXPECT_GT(amp.sizeHint().width(), plain.sizeHint().width());

    // A symbol alone makes a small square of a borderless button.
    StyledButton back(ButtonLook::borderless);
    back.setSymbol("chevron.left", 14, Theme::Level::secondary);
    EXPECT_EQ(back.sizeHint().width(), back.sizeHint().height());
    int clicks = 0;
    QObject::connect(&back, &QPushButton::clicked, [&] { ++clicks; });
    back.resize(back.sizeHint());
    QTest::mouseClick(&back, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
}

// Every look at every size, enabled and not, with a symbol and a title holding "&".
TEST(StyledButtonGolden, Sheet) {
    QWidget sheet;
    sheet.setAutoFillBackground(true);
    auto* grid = new QGridLayout(&sheet);
    grid->setSpacing(8);
    grid->setContentsMargins(12, 12, 12, 12);
    int row = 0;
    for (ButtonLook look : {ButtonLook::standard, ButtonLook::prominent, ButtonLook::borderless}) {
        int column = 0;
        for (ControlSize size : {ControlSize::small, ControlSize::regular, ControlSize::large}) {
            auto* button = new StyledButton(look, size);
            PlainText::setText(*button, QStringLiteral("Not this drive"));
            grid->addWidget(button, row, column++, Qt::AlignLeft);
        }
        auto* disabled = new StyledButton(look);
        PlainText::setText(*disabled, QStringLiteral("A & B"));
        disabled->setEnabled(false);
        grid->addWidget(disabled, row, column++, Qt::AlignLeft);
        auto* symbol = new StyledButton(look);
        symbol->setSymbol("plus");
        PlainText::setText(*symbol, QStringLiteral("Add Folder\u2026"));
        grid->addWidget(symbol, row, column++, Qt::AlignLeft);
        ++row;
    }
    auto* back = new StyledButton(ButtonLook::borderless);
    back->setSymbol("chevron.left", 14, Theme::Level::secondary);
    grid->addWidget(back, row, 0, Qt::AlignLeft);
    sheet.adjustSize();
    EXPECT_TRUE(test::matchesGolden(test::grabForGolden(sheet), QStringLiteral("buttons")));
}

TEST(Theme, RoundedRectanglesStrokeInsideTheirEdge) {
    QImage image(40, 40, QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        Theme::drawRoundedRect(painter, QRectF(10, 10, 20, 20), 4, QColor(0, 200, 0),
                               QColor(0, 0, 255), 2);
    }
    EXPECT_EQ(image.pixelColor(5, 20), QColor(Qt::white)) << "nothing outside";
    EXPECT_EQ(image.pixelColor(10, 20), QColor(0, 0, 255)) << "the border starts at the edge";
    EXPECT_EQ(image.pixelColor(11, 20), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(20, 20), QColor(0, 200, 0));
    EXPECT_EQ(image.pixelColor(10, 10), QColor(Qt::white)) << "the corner is rounded";
}

} // namespace
} // namespace ulmaro
