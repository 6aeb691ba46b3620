#include "UlmaroAppKit/UI/Catalogs/CatalogInfoPanel.h"

#include "UlmaroAppKit/UI/Kit/ClampedLabel.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace ulmaro {
namespace {

constexpr int valueLines = 4;

/// One box of a grouped form: a rounded rectangle with lines between its rows.
class FormSection final : public QWidget {
public:
    explicit FormSection(QWidget* parent = nullptr) : QWidget(parent) {
        grid = new QGridLayout(this);
        grid->setContentsMargins(8, 2, 8, 2);
        grid->setHorizontalSpacing(8);
        grid->setVerticalSpacing(0);
        grid->setColumnStretch(1, 1);
    }
    QGridLayout* grid;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        Theme::drawRoundedRect(painter, QRectF(rect()), 8, palette().color(QPalette::Base),
                               Theme::primaryTint(0.1, palette()));
        painter.setPen(Theme::primaryTint(0.08, palette()));
        for (int row = 1; row < grid->rowCount(); ++row) {
            const QLayoutItem* item = grid->itemAtPosition(row, 0);
            if (!item) continue;
            const int y = item->geometry().top() - 1;
            painter.drawLine(8, y, width() - 8, y);
        }
    }
};

QLabel* rowLabel(const QString& text, Theme::Level level) {
    QLabel* label = PlainText::label(text);
    label->setFont(Theme::font(12));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Theme::text(level, palette));
    label->setPalette(palette);
    label->setContentsMargins(0, 6, 0, 6);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

CatalogInfoPanel::CatalogInfoPanel(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 12, 8, 12);
    column->setSpacing(6);
    header_ = PlainText::label({});
    header_->setFont(Theme::font(13, Theme::Weight::semibold));
    header_->setWordWrap(true);
    header_->setContentsMargins(4, 0, 4, 0);
    column->addWidget(header_);
    facts_ = new FormSection;
    column->addWidget(facts_);
    column->addSpacing(10);

    errorSection_ = new FormSection;
    error_ = PlainText::label({});
    error_->setFont(Theme::font(12));
    error_->setWordWrap(true);
    QPalette orange = error_->palette();
    orange.setColor(QPalette::WindowText, Theme::orange());
    error_->setPalette(orange);
    error_->setContentsMargins(0, 8, 0, 8);
    static_cast<FormSection*>(errorSection_)->grid->addWidget(error_, 0, 0, 1, 2);
    errorSection_->hide();
    column->addWidget(errorSection_);
    column->addStretch(1);
}

void CatalogInfoPanel::show(const std::string& name,
                            const std::vector<CatalogBrowsing::InfoLine>& lines,
                            const std::optional<std::string>& lastError) {
    PlainText::setText(*header_, PlainText::fromBytes(name));
    QGridLayout* grid = static_cast<FormSection*>(facts_)->grid;
    while (QLayoutItem* item = grid->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        QLabel* label = rowLabel(PlainText::fromBytes(lines[i].label), Theme::Level::primary);
        grid->addWidget(label, int(i), 0);
        label->show();
        auto* value = new ClampedLabel(valueLines);
        value->setFont(Theme::font(12));
        value->setText(PlainText::fromBytes(lines[i].value));
        value->setColour(Theme::text(Theme::Level::secondary, palette()));
        value->setAlignment(Qt::AlignRight);
        value->setContentsMargins(0, 6, 0, 6);
        grid->addWidget(value, int(i), 1);
        value->show();
    }
    facts_->update();
    if (lastError) PlainText::setText(*error_, PlainText::fromBytes(*lastError));
    errorSection_->setVisible(lastError.has_value());
}

std::vector<std::pair<QString, QString>> CatalogInfoPanel::rows() const {
    std::vector<std::pair<QString, QString>> result;
    QGridLayout* grid = static_cast<FormSection*>(facts_)->grid;
    for (int row = 0; row < grid->rowCount(); ++row) {
        auto* label = grid->itemAtPosition(row, 0);
        auto* value = grid->itemAtPosition(row, 1);
        if (!label || !value) continue;
        result.emplace_back(static_cast<QLabel*>(label->widget())->text(),
                            static_cast<ClampedLabel*>(value->widget())->text());
    }
    return result;
}

std::optional<QString> CatalogInfoPanel::errorText() const {
    if (errorSection_->isHidden()) return std::nullopt;
    return error_->text();
}

} // namespace ulmaro
