#include "UlmaroAppKit/UI/SearchField.h"

#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/UI/Theme.h"
#include "UlmaroKit/Platform/UnicodeText.h"

#include <QKeyEvent>

namespace ulmaro {

SearchField::SearchField(std::shared_ptr<OverlayViewModel> model, std::function<void()> onDismiss,
                         QWidget* parent)
    : QLineEdit(parent), model_(std::move(model)), onDismiss_(std::move(onDismiss)) {
    setFrame(false);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setFont(Theme::font(24));
    setFixedHeight(32);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::transparent);
    setPalette(colours);
    connect(this, &QLineEdit::textEdited, this, &SearchField::edited);
    subscriptions_.push_back(model_->queryText.subscribe([this](const auto&) { syncFromModel(); }));
    subscriptions_.push_back(
        model_->inlineCompletion.subscribe([this](const auto&) { syncFromModel(); }));
    subscriptions_.push_back(model_->modelChanged.subscribe([this] { syncFromModel(); }));
    syncFromModel();
}

SearchField::~SearchField() = default;

void SearchField::edited(const QString& text) {
    const std::string typed = text.toStdString();
    const bool deleting =
        UnicodeText::graphemeCount(typed) < UnicodeText::graphemeCount(lastFieldText_);
    lastFieldText_ = typed;
    lastTypedText_ = typed;
    model_->updateQuery(typed, deleting);
}

void SearchField::syncFromModel() {
    const auto& completion = model_->inlineCompletion.get();
    const QString current = text();
    if (completion && current.toStdString() != completion->completed &&
        lastTypedText_ == completion->typed) {
        const QString completed = QString::fromStdString(completion->completed);
        setText(completed);
        lastFieldText_ = completion->completed;
        const auto start = QString::fromStdString(completion->typed).size();
        setSelection(int(start), int(completed.size() - start));
    } else if (!completion && current.toStdString() != model_->queryText.get()) {
        setText(QString::fromStdString(model_->queryText.get()));
    }
    const bool enabled = model_->isSearchEnabled();
    setEnabled(enabled);
    setPlaceholderText(enabled ? QStringLiteral("Search your computer…")
                               : QStringLiteral("Indexing your computer…"));
}

void SearchField::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & ~Qt::KeypadModifier) return QLineEdit::keyPressEvent(event);
    switch (event->key()) {
    case Qt::Key_Down:
        model_->moveSelection(1);
        return;
    case Qt::Key_Up:
        model_->moveSelection(-1);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (model_->openSelected() && onDismiss_) onDismiss_();
        return;
    case Qt::Key_Escape:
        if (model_->showingCheatSheet.get())
            model_->hideCheatSheet();
        else if (onDismiss_)
            onDismiss_();
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

} // namespace ulmaro
