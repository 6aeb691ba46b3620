#include "UlmaroAppKit/UI/Panel/PreviewWindow.h"

#include "UlmaroAppKit/Panel/PanelPlacement.h"
#include "UlmaroAppKit/Panel/QuickLookKeyAction.h"
#include "UlmaroAppKit/UI/Panel/PreviewLoader.h"
#include "UlmaroAppKit/UI/Qt/QtKeyPress.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

namespace ulmaro {

PreviewWindow::PreviewWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Preview"));
    resize(int(PanelPlacement::previewWidth), int(PanelPlacement::previewHeight));
    pool_.setMaxThreadCount(1);

    stack_ = new QStackedWidget(this);
    image_ = new QLabel(stack_);
    image_->setAlignment(Qt::AlignCenter);
    text_ = new QPlainTextEdit(stack_);
    text_->setReadOnly(true);
    text_->installEventFilter(this);
    auto* facts = new QWidget(stack_);
    factsIcon_ = new QLabel(facts);
    factsIcon_->setAlignment(Qt::AlignCenter);
    factsText_ = new QLabel(facts);
    factsText_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    factsText_->setTextFormat(Qt::PlainText);
    auto* factsLayout = new QVBoxLayout(facts);
    factsLayout->addStretch();
    factsLayout->addWidget(factsIcon_);
    factsLayout->addWidget(factsText_);
    factsLayout->addStretch();
    stack_->addWidget(image_);
    stack_->addWidget(text_);
    stack_->addWidget(facts);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack_);
}

PreviewWindow::~PreviewWindow() {
    pool_.clear();
    pool_.waitForDone();
}

void PreviewWindow::show() {
    QWidget::show();
    raise();
    activateWindow();
    reload();
}

void PreviewWindow::reload() {
    if (!QWidget::isVisible()) return;
    auto path = pathProvider ? pathProvider() : std::nullopt;
    const std::uint64_t generation = ++generation_;
    if (!path) return;
    const QSize bounds = stack_->size().isValid() ? stack_->size() : size();
    pool_.clear(); // a request not started yet is already stale
    pool_.start([this, generation, path = std::move(*path), bounds]() mutable {
        if (generation != generation_.load()) return;
        PreviewContent content = PreviewLoader::load(path, bounds);
        // The window outlives this task: its destructor waits for the pool.
        QMetaObject::invokeMethod(
            this,
            [this, generation, path = std::move(path), content = std::move(content)]() mutable {
                apply(generation, std::move(path), std::move(content));
            },
            Qt::QueuedConnection);
    });
}

void PreviewWindow::apply(std::uint64_t generation, std::string path, PreviewContent content) {
    if (generation != generation_.load() || !QWidget::isVisible()) return;
    shownPath_ = std::move(path);
    setWindowTitle(content.name.isEmpty() ? QStringLiteral("Preview") : content.name);
    switch (content.kind) {
    case PreviewContent::Kind::image:
        image_->setPixmap(QPixmap::fromImage(std::move(content.image)));
        stack_->setCurrentWidget(image_);
        break;
    case PreviewContent::Kind::text:
        text_->setPlainText(content.text);
        stack_->setCurrentWidget(text_);
        break;
    case PreviewContent::Kind::listing:
        text_->setPlainText(content.listing.join(QLatin1Char('\n')));
        stack_->setCurrentWidget(text_);
        break;
    case PreviewContent::Kind::facts: {
        const QIcon icon =
            style()->standardIcon(content.isFolder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
        factsIcon_->setPixmap(icon.pixmap(128, 128));
        QStringList lines{content.name};
        if (!content.size.isEmpty()) lines << content.size;
        if (!content.date.isEmpty()) lines << content.date;
        factsText_->setText(lines.join(QLatin1Char('\n')));
        stack_->setCurrentWidget(factsText_->parentWidget());
        break;
    }
    }
    Q_EMIT contentShown();
}

void PreviewWindow::close() {
    ++generation_;
    hide();
}

bool PreviewWindow::handleKey(QKeyEvent* key) {
    const QuickLookKeyAction action = QuickLookKeyAction::classify(panelKeyPress(*key));
    switch (action.kind()) {
    case QuickLookKeyAction::Kind::close:
        if (onCloseKey)
            onCloseKey();
        else
            close();
        return true;
    case QuickLookKeyAction::Kind::move:
        if (onMoveKey) onMoveKey(action.step());
        reload();
        return true;
    case QuickLookKeyAction::Kind::passThrough:
        return false;
    }
    return false;
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent*>(event))) return true;
    // The text view would take Space and Ctrl+Y for itself.
    if (event->type() == QEvent::ShortcutOverride) {
        auto action = QuickLookKeyAction::classify(panelKeyPress(*static_cast<QKeyEvent*>(event)));
        if (action.kind() != QuickLookKeyAction::Kind::passThrough) {
            event->accept();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool PreviewWindow::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent*>(event))) return true;
    if (event->type() == QEvent::WindowDeactivate && QWidget::isVisible()) {
        QWidget* now = QApplication::activeWindow();
        if (now != this && (!companion || now != companion)) {
            close();
            if (onFocusLeft) onFocusLeft();
        }
    }
    return QWidget::event(event);
}

} // namespace ulmaro
