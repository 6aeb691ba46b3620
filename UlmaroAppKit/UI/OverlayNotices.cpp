#include "UlmaroAppKit/UI/OverlayNotices.h"

#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/UI/StyledLabel.h"
#include "UlmaroAppKit/UI/Symbols.h"
#include "UlmaroAppKit/UI/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace ulmaro::OverlayNotices {
namespace {

QWidget* lines(QWidget* parent, std::initializer_list<QString> texts, QMargins margins) {
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(margins);
    layout->setSpacing(4);
    for (const QString& text : texts) {
        auto* label = new QLabel(text, box);
        label->setWordWrap(true);
        label->setFont(Theme::font(12));
        layout->addWidget(label);
    }
    return box;
}

} // namespace

QWidget* firstRunIntro(QWidget* parent) {
    return lines(parent,
                 {QStringLiteral("Ulmaro"),
                  QStringLiteral("Every file on your computer, as fast as you type.")},
                 {16, 14, 16, 0});
}

QWidget* firstRunCompletion(const std::shared_ptr<OverlayViewModel>& model, QWidget* parent) {
    return lines(parent,
                 {QString::fromStdString(model->firstRunCompletionMessage.get().value_or("")),
                  QString::fromStdString(model->hotkeyLine.get())},
                 {16, 12, 16, 12});
}

QWidget* fdaPrompt(std::function<void()>, std::function<void()>, QWidget* parent) {
    return lines(parent, {QStringLiteral("Search your whole computer")}, {16, 12, 16, 12});
}

QWidget* fdaBanner(const std::shared_ptr<OverlayViewModel>&, std::function<void()>,
                   QWidget* parent) {
    return lines(parent,
                 {QStringLiteral("Desktop, Documents, Downloads, Pictures, Music, cloud drives "
                                 "and a few other protected folders aren't indexed.")},
                 {16, 8, 16, 8});
}

namespace {

class OrangeCard final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 7, 7);
        painter.fillPath(shape, Theme::orange(0.16));
    }
};

} // namespace

QWidget* attributeHealNotice(QWidget* parent) {
    auto* outer = new QWidget(parent);
    auto* outerLayout = new QVBoxLayout(outer);
    outerLayout->setContentsMargins(16, 0, 16, 8);
    auto* card = new OrangeCard(outer);
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(10, 6, 10, 6);
    row->setSpacing(6);
    auto* symbol = new QLabel(card);
    symbol->setPixmap(
        Symbols::pixmap("clock.arrow.circlehalf", 11, Theme::orange(), card->devicePixelRatioF()));
    row->addWidget(symbol, 0, Qt::AlignVCenter);
    QLabel* text = styledLabel(
        QStringLiteral("Still learning file dates and sizes — size: and dm: results are "
                       "incomplete until that finishes (a few minutes, once)."),
        Theme::font(11, Theme::Weight::medium), Theme::text(Theme::Level::primary), card);
    text->setWordWrap(true);
    // Wrapped for the panel's width less both paddings, the symbol and the gap.
    const int width = 680 - 2 * 16 - 2 * 10 - 11 - 6;
    text->setFixedSize(width, text->heightForWidth(width));
    row->addWidget(text, 1);
    outerLayout->addWidget(card);
    return outer;
}

} // namespace ulmaro::OverlayNotices
