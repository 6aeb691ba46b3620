#include "UlmaroAppKit/UI/Settings/ShortcutRow.h"

#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ulmaro {

ShortcutRow::ShortcutRow(std::shared_ptr<ShortcutRowModel> model,
                         std::shared_ptr<Preferences> preferences, QWidget* parent)
    : QWidget(parent), model_(std::move(model)), button_(new QPushButton(this)),
      message_(new QLabel(this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Summon Ulmaro"), this));
    row->addStretch(1);
    button_->setFont(Theme::font(12, Theme::Weight::medium));
    button_->setMinimumWidth(90);
    // Never the default button: Return while recording is a key to record.
    button_->setAutoDefault(false);
    row->addWidget(button_);
    column->addLayout(row);

    message_->setFont(Theme::font(11));
    message_->setWordWrap(true);
    message_->setTextFormat(Qt::PlainText);
    QPalette palette = message_->palette();
    palette.setColor(QPalette::WindowText, Theme::text(Theme::Level::secondary, palette));
    message_->setPalette(palette);
    column->addWidget(message_);

    connect(button_, &QPushButton::clicked, this, [this] { model_->startRecording(); });
    modelChanges_ = model_->changed.subscribe([this] { refresh(); });
    preferenceChanges_ = preferences->changed.subscribe([this] { refresh(); });
    refresh();
}

void ShortcutRow::refresh() {
    button_->setText(QString::fromStdString(model_->buttonTitle()));
    button_->setEnabled(model_->canRecord());
    const auto message = model_->message();
    message_->setText(message ? QString::fromStdString(*message) : QString());
    message_->setVisible(message.has_value());
}

bool ShortcutRow::event(QEvent* event) {
    // Keys typed into another window must never become the shortcut. A window passes its
    // deactivation on to its children.
    if (event->type() == QEvent::WindowDeactivate) model_->stopRecording();
    return QWidget::event(event);
}

void ShortcutRow::hideEvent(QHideEvent* event) {
    model_->stopRecording();
    QWidget::hideEvent(event);
}

} // namespace ulmaro
