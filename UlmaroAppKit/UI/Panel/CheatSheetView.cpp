#include "UlmaroAppKit/UI/Panel/CheatSheetView.h"

#include "UlmaroAppKit/Panel/SearchSyntax.h"
#include "UlmaroAppKit/UI/Kit/ElidedLabel.h"
#include "UlmaroAppKit/UI/Kit/StyledLabel.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace ulmaro {
namespace {

constexpr int columnGap = 22;
constexpr int exampleFrame = 140;

QLabel* columnTitle(const std::string& title, QWidget* parent) {
    QFont font = Theme::font(10, Theme::Weight::semibold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.4);
    return styledLabel(QString::fromStdString(title).toUpper(), font,
                       Theme::text(Theme::Level::tertiary), parent);
}

ElidedLabel* secondaryLine(const std::string& text, QWidget* parent) {
    auto* label = new ElidedLabel(QString::fromStdString(text), Qt::ElideRight, parent);
    label->setFont(Theme::font(11));
    label->setColor(Theme::text(Theme::Level::secondary));
    return label;
}

QFont exampleFont() {
    return Theme::font(11, Theme::Weight::regular, Theme::Design::monospaced);
}

/// An example's width on its fill: the text, a pixel or two of slack (glyphs drawn with
/// hinting can outrun the measured advance) and 5 on each side.
int exampleWidth(const QString& text) {
    return int(std::ceil(QFontMetricsF(exampleFont()).horizontalAdvance(text))) + 2 + 10;
}

/// An example as the user would type it, on a faint rounded fill.
class ExampleChip final : public QWidget {
public:
    ExampleChip(QString text, QWidget* parent) : QWidget(parent), text_(std::move(text)) {
        setFont(exampleFont());
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override {
        return {exampleWidth(text_), int(std::ceil(QFontMetricsF(font()).height())) + 4};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        Theme::drawRoundedRect(painter, QRectF(rect()), 4, Theme::primaryTint(0.06));
        painter.setPen(Theme::text(Theme::Level::primary));
        const QRect inner = rect().adjusted(5, 2, -5, -2);
        painter.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetrics(font()).elidedText(text_, Qt::ElideRight, inner.width()));
    }

private:
    QString text_;
};

QVBoxLayout* column(int spacing) {
    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QHBoxLayout* entryRow(QWidget* lead, int leadWidth, ElidedLabel* meaning) {
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    auto* frame = new QWidget(lead->parentWidget());
    frame->setFixedWidth(leadWidth);
    auto* framed = new QHBoxLayout(frame);
    framed->setContentsMargins(0, 0, 0, 0);
    framed->addWidget(lead, 0, Qt::AlignLeft | Qt::AlignVCenter);
    row->addWidget(frame, 0, Qt::AlignVCenter);
    row->addWidget(meaning, 1, Qt::AlignVCenter);
    return row;
}

QVBoxLayout* groupColumn(const std::vector<SearchSyntax::Group>& groups, int frame,
                         QWidget* sheet) {
    QVBoxLayout* layout = column(9);
    for (const auto& group : groups) {
        QVBoxLayout* block = column(4);
        block->addWidget(columnTitle(group.title, sheet));
        for (const auto& entry : group.entries)
            block->addLayout(entryRow(new ExampleChip(QString::fromStdString(entry.example), sheet),
                                      frame, secondaryLine(entry.meaning, sheet)));
        layout->addLayout(block);
    }
    layout->addStretch(1);
    return layout;
}

QVBoxLayout* shortcutColumn(std::string_view title,
                            const std::vector<SearchSyntax::Shortcut>& shortcuts, int keyWidth,
                            QWidget* sheet) {
    QVBoxLayout* layout = column(4);
    layout->addWidget(columnTitle(std::string(title), sheet));
    for (const auto& shortcut : shortcuts) {
        QLabel* keys = styledLabel(QString::fromStdString(shortcut.keys),
                                   Theme::font(11, Theme::Weight::medium),
                                   Theme::text(Theme::Level::primary), sheet);
        layout->addLayout(entryRow(keys, keyWidth, secondaryLine(shortcut.action, sheet)));
    }
    layout->addStretch(1);
    return layout;
}

class Rule final : public QWidget {
public:
    explicit Rule(QWidget* parent) : QWidget(parent) { setFixedHeight(1); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), Theme::primaryTint(0.1 * 0.4));
    }
};

} // namespace

CheatSheetLayout::Columns CheatSheetView::columns() {
    return CheatSheetLayout::columns(SearchSyntax::groups());
}

int CheatSheetView::searchRowCount() {
    return CheatSheetLayout::searchRowCount(SearchSyntax::groups());
}

int CheatSheetView::sheetHeight() {
    return CheatSheetLayout::height(SearchSyntax::groups(), SearchSyntax::shortcuts().size(),
                                    SearchSyntax::filterShortcuts().size());
}

CheatSheetView::CheatSheetView(std::string summonKey, QWidget* parent)
    : QScrollArea(parent), summonKey_(std::move(summonKey)) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(false);
    setFixedHeight(sheetHeight());

    auto* sheet = new QWidget;
    sheet->setAutoFillBackground(false);
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(12);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(styledLabel(QStringLiteral("Searching"),
                                  Theme::font(12, Theme::Weight::semibold, Theme::Design::rounded),
                                  Theme::text(Theme::Level::primary), sheet),
                      0, Qt::AlignBottom);
    header->addWidget(
        styledLabel(QString::fromUtf8(SearchSyntax::combiningNote().data(),
                                      qsizetype(SearchSyntax::combiningNote().size())),
                    Theme::font(11), Theme::text(Theme::Level::secondary), sheet),
        0, Qt::AlignBottom);
    header->addStretch(1);
    header->addWidget(styledLabel(QStringLiteral("Ctrl+/ to close"), Theme::font(11),
                                  Theme::text(Theme::Level::tertiary), sheet),
                      0, Qt::AlignBottom);
    layout->addLayout(header);

    // Examples are framed 140 wide, or as wide as the widest one in the font in use: an
    // example is what the user types, and cut it would teach the wrong text.
    int frame = exampleFrame;
    for (const auto& group : SearchSyntax::groups())
        for (const auto& entry : group.entries)
            frame = std::max(frame, exampleWidth(QString::fromStdString(entry.example)));
    // Each column as wide as its lines ask (the room left goes to their ends), so a long
    // meaning beside short ones is not cut while the other column has room.
    const auto split = columns();
    auto* help = new QHBoxLayout;
    help->setSpacing(columnGap);
    help->addLayout(groupColumn(split.left, frame, sheet));
    help->addLayout(groupColumn(split.right, frame, sheet));
    help->addStretch(1);
    layout->addLayout(help);

    layout->addWidget(new Rule(sheet));

    const auto keys = SearchSyntax::shortcuts(summonKey_);
    const auto filters = SearchSyntax::filterShortcuts();
    const QFontMetrics keyMetrics(Theme::font(11, Theme::Weight::medium));
    for (const auto* list : {&keys, &filters})
        for (const auto& shortcut : *list)
            keyColumnWidth_ =
                std::max(keyColumnWidth_,
                         keyMetrics.horizontalAdvance(QString::fromStdString(shortcut.keys)) + 1);
    auto* shortcuts = new QHBoxLayout;
    shortcuts->setSpacing(columnGap);
    shortcuts->addLayout(
        shortcutColumn(SearchSyntax::shortcutColumnTitle, keys, keyColumnWidth_, sheet));
    shortcuts->addLayout(
        shortcutColumn(SearchSyntax::filterColumnTitle, filters, keyColumnWidth_, sheet));
    shortcuts->addStretch(1);
    layout->addLayout(shortcuts);
    layout->addStretch(1);
    setWidget(sheet);
}

} // namespace ulmaro
