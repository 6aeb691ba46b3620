#include "UlmaroAppKit/UI/Kit/PlainText.h"

#include <QFontMetrics>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>
#include <gtest/gtest.h>
#include <memory>

namespace ulmaro {
namespace {

const QString markup = QStringLiteral("<b>x</b>");
const QString missingImage = QStringLiteral("<img src=\"" ULMARO_FIXTURES_DIR "/nothing.png\">");

// A label that took the text as rich text would be as wide as a bold "x", or an image.
TEST(PlainText, LabelsShowMarkupAsTyped) {
    for (const QString& text : {markup, missingImage, QStringLiteral("A & B")}) {
        std::unique_ptr<QLabel> label(PlainText::label(text));
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_GE(label->sizeHint().width(), label->fontMetrics().horizontalAdvance(text))
            << text.toStdString();
    }
    QLabel reused;
    reused.setText(QStringLiteral("<i>guessed</i>"));
    PlainText::setText(reused, markup);
    EXPECT_EQ(reused.textFormat(), Qt::PlainText);
    EXPECT_EQ(reused.text(), markup);
}

TEST(PlainText, ButtonTitlesKeepTheirAmpersands) {
    QPushButton button;
    PlainText::setText(button, QStringLiteral("A & B"));
    EXPECT_EQ(button.text(), QStringLiteral("A && B"));
    EXPECT_TRUE(QKeySequence::mnemonic(button.text()).isEmpty());
    EXPECT_TRUE(QKeySequence::mnemonic(PlainText::buttonTitle(QStringLiteral("&Save"))).isEmpty());
    EXPECT_EQ(PlainText::buttonTitle(QStringLiteral("&&")), QStringLiteral("&&&&"));
}

TEST(PlainText, ToolTipsShowTheTextItself) {
    for (const QString& text : {markup, missingImage, QStringLiteral("A & B"),
                                QStringLiteral("two  spaces\nand a line &amp;")}) {
        const QString tip = PlainText::toolTip(text);
        ASSERT_TRUE(Qt::mightBeRichText(tip)) << "Qt must not guess";
        QTextDocument document;
        document.setHtml(tip);
        EXPECT_EQ(document.toPlainText(), text) << tip.toStdString();
    }
    QLabel label;
    PlainText::setToolTip(label, markup);
    EXPECT_FALSE(label.toolTip().isEmpty());
    PlainText::setToolTip(label, QString());
    EXPECT_TRUE(label.toolTip().isEmpty());
}

TEST(PlainText, MessageBoxTexts) {
    QMessageBox box;
    box.setText(markup);
    box.setInformativeText(missingImage);
    PlainText::setPlain(box);
    int plain = 0;
    for (auto* label : box.findChildren<QLabel*>()) {
        if (label->text() != markup && label->text() != missingImage) continue;
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        ++plain;
    }
    EXPECT_EQ(plain, 2);
}

TEST(PlainText, BytesAreRepaired) {
    EXPECT_EQ(PlainText::fromBytes("caf\xc3\xa9"), QStringLiteral("caf\u00e9"));
    EXPECT_EQ(PlainText::fromBytes("a\xff"), QStringLiteral("a\ufffd"));
    EXPECT_EQ(PlainText::fromBytes(std::string_view("a\0b", 3)).size(), 3);
}

} // namespace
} // namespace ulmaro
