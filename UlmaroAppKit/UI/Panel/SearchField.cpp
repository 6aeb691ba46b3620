#include "UlmaroAppKit/UI/Panel/SearchField.h"

#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Panel/PreviewWindow.h"

#include <QKeyEvent>
#include <QProxyStyle>
#include <algorithm>

namespace ulmaro {

/// The caret is drawn zero pixels wide while hidden.
class SearchField::CaretStyle final : public QProxyStyle {
public:
    bool hidden = false;
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_TextCursorWidth && hidden) return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

namespace {

using Command = SearchFieldCoordinator::Command;

// The panel's own Ctrl keys, which the field must not claim for itself.
bool isPanelShortcut(const QKeyEvent& key) {
    if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier) return false;
    const int k = key.key();
    return (k >= Qt::Key_0 && k <= Qt::Key_9) || k == Qt::Key_C || k == Qt::Key_Y ||
           k == Qt::Key_D || k == Qt::Key_T || k == Qt::Key_Comma || k == Qt::Key_Slash ||
           k == Qt::Key_Return || k == Qt::Key_Enter;
}

std::optional<Command> commandOf(const QKeyEvent& key) {
    const auto modifiers = key.modifiers() & ~Qt::KeypadModifier;
    switch (key.key()) {
    case Qt::Key_Down:
        if (modifiers == Qt::NoModifier) return Command::moveDown;
        break;
    case Qt::Key_Up:
        if (modifiers == Qt::NoModifier) return Command::moveUp;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (modifiers == Qt::NoModifier) return Command::insertNewline;
        if (modifiers == Qt::AltModifier) return Command::insertLineBreak;
        break;
    case Qt::Key_Escape:
        if (modifiers == Qt::NoModifier) return Command::cancelOperation;
        break;
    case Qt::Key_Backspace:
        if (modifiers == Qt::ControlModifier) return Command::deleteToBeginningOfLine;
        break;
    default:
        break;
    }
    return std::nullopt;
}

} // namespace

SearchField::SearchField(std::shared_ptr<OverlayViewModel> model, std::function<void()> onDismiss,
                         QWidget* parent)
    : QLineEdit(parent), model_(model), coordinator_(std::move(model), std::move(onDismiss)),
      caretStyle_(new CaretStyle) {
    caretStyle_->setParent(this);
    setStyle(caretStyle_);
    setFrame(false);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setFont(Theme::font(24));
    setFixedHeight(32);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::transparent);
    setPalette(colours);
    connect(this, &QLineEdit::textEdited, this,
            [this](const QString& text) { coordinator_.edited(text.toStdString()); });
    auto follow = [this](const auto&) { syncFromModel(); };
    subscriptions_.push_back(model_->queryText.subscribe(follow));
    subscriptions_.push_back(model_->inlineCompletion.subscribe(follow));
    subscriptions_.push_back(model_->isBrowsingResults.subscribe(follow));
    subscriptions_.push_back(model_->modelChanged.subscribe([this] { syncFromModel(); }));
    subscriptions_.push_back(model_->state.subscribe([this](const auto&) {
        setPlaceholderText(QString::fromStdString(coordinator_.placeholder()));
    }));
    syncFromModel();
}

SearchField::~SearchField() = default;

bool SearchField::isCaretHidden() const {
    return caretStyle_->hidden;
}

void SearchField::syncFromModel() {
    const auto wanted = coordinator_.update(text().toStdString());
    if (wanted.text) setText(QString::fromStdString(*wanted.text));
    if (wanted.selectionStart && wanted.selectionEnd)
        setSelection(*wanted.selectionStart, *wanted.selectionEnd - *wanted.selectionStart);
    if (wanted.caretHidden != caretStyle_->hidden) {
        caretStyle_->hidden = wanted.caretHidden;
        update();
    }
    setEnabled(wanted.enabled);
    setPlaceholderText(QString::fromStdString(wanted.placeholder));
}

bool SearchField::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride &&
        isPanelShortcut(*static_cast<QKeyEvent*>(event))) {
        event->ignore();
        return true;
    }
    return QLineEdit::event(event);
}

void SearchField::keyPressEvent(QKeyEvent* event) {
    const auto command = commandOf(*event);
    if (!command) return QLineEdit::keyPressEvent(event);
    if (coordinator_.perform(*command)) {
        if (*command == Command::moveDown || *command == Command::moveUp) reloadPreview();
        return;
    }
    if (*command == Command::deleteToBeginningOfLine) deleteToLineStart();
}

void SearchField::reloadPreview() {
    auto* panel = qobject_cast<OverlayPanel*>(window());
    if (panel && panel->preview().isVisible()) panel->preview().reload();
}

// All the text before the caret, not Qt's word: the way Ctrl+Backspace's command reads.
void SearchField::deleteToLineStart() {
    const int end =
        hasSelectedText() ? std::max(cursorPosition(), selectionEnd()) : cursorPosition();
    if (end == 0) return;
    QString rest = text();
    rest.remove(0, end);
    setText(rest);
    setCursorPosition(0);
    coordinator_.edited(rest.toStdString());
}

} // namespace ulmaro
