#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"

#include "UlmaroAppKit/Panel/OverlayLayout.h"
#include "UlmaroAppKit/Panel/PanelKeyRules.h"
#include "UlmaroAppKit/Panel/PanelPlacement.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"
#include "UlmaroAppKit/UI/MenuBar/AppMenuShortcut.h"
#include "UlmaroAppKit/UI/Panel/PreviewWindow.h"
#include "UlmaroAppKit/UI/Qt/QtKeyPress.h"
#include "UlmaroAppKit/UI/X11/X11Desktop.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <vector>

namespace ulmaro {
namespace {

PanelRect toPanelRect(const QRect& r) {
    return {double(r.x()), double(r.y()), double(r.width()), double(r.height())};
}

QPainterPath panelShape(const QRectF& bounds) {
    QPainterPath shape;
    shape.addRoundedRect(bounds, OverlayLayout::cornerRadius, OverlayLayout::cornerRadius);
    return shape;
}

// Three box blurs of the alpha channel come close to a Gaussian of the given radius.
void blurAlpha(QImage& image, int radius) {
    const int box = std::max(1, radius / 3);
    const int w = image.width();
    const int h = image.height();
    std::vector<int> line(std::size_t(std::max(w, h)));
    auto pass = [&](bool horizontal) {
        const int length = horizontal ? w : h;
        const int lines = horizontal ? h : w;
        for (int l = 0; l < lines; ++l) {
            auto at = [&](int i) -> QRgb& {
                return reinterpret_cast<QRgb*>(
                    image.scanLine(horizontal ? l : i))[horizontal ? i : l];
            };
            for (int i = 0; i < length; ++i)
                line[std::size_t(i)] = qAlpha(at(i));
            int sum = 0;
            for (int i = -box; i <= box; ++i)
                sum += line[std::size_t(std::clamp(i, 0, length - 1))];
            for (int i = 0; i < length; ++i) {
                at(i) = qPremultiply(qRgba(0, 0, 0, sum / (2 * box + 1)));
                sum += line[std::size_t(std::min(i + box + 1, length - 1))] -
                       line[std::size_t(std::max(i - box, 0))];
            }
        }
    };
    for (int i = 0; i < 3; ++i) {
        pass(true);
        pass(false);
    }
}

} // namespace

OverlayPanel::OverlayPanel()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Ulmaro"));
    if (auto desktop = X11Desktop::current(); desktop && desktop->hasCompositingManager())
        shadowMargin_ = Theme::shadowRadius;
    // Without a compositing manager nothing blends a window's alpha with what lies below:
    // the window is opaque and its corners are cut by a shape (see resizeEvent).
    if (!isShaped()) setAttribute(Qt::WA_TranslucentBackground);
    resize(int(OverlayLayout::panelWidth) + 2 * shadowMargin_,
           int(OverlayLayout::panelHeight) + 2 * shadowMargin_);
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(shadowMargin_, shadowMargin_, shadowMargin_, shadowMargin_);
    installEventFilter(this);

    preview_ = new PreviewWindow(this);
    preview_->companion = this;
    preview_->pathProvider = [this] {
        return previewURLProvider ? previewURLProvider() : std::nullopt;
    };
    preview_->onCloseKey = [this] { givePreviewBackKeyboard(); };
    preview_->onMoveKey = [this](int step) {
        if (onQuickLookMove) onQuickLookMove(step);
    };
    preview_->onFocusLeft = [this] {
        if (onResignKey_) onResignKey_();
    };

    // The main menu's panel items, as window shortcuts of the panel.
    const std::pair<AppMenuAction, void (OverlayPanel::*)()> panelActions[] = {
        {AppMenuAction::copyPathSelected, &OverlayPanel::copyPathSelected},
        {AppMenuAction::quickLookSelected, &OverlayPanel::quickLookSelected},
        {AppMenuAction::findCopiesSelected, &OverlayPanel::findCopiesSelected},
        {AppMenuAction::openTerminalAtSelected, &OverlayPanel::openTerminalAtSelected},
        {AppMenuAction::openSettingsFromPanel, &OverlayPanel::openSettingsFromPanel},
        {AppMenuAction::toggleCheatSheet, &OverlayPanel::toggleCheatSheet},
    };
    for (const AppMenuItem& item : AppMainMenu::editMenu().items)
        for (const auto& [menuAction, method] : panelActions) {
            if (item.action != menuAction) continue;
            auto* action = new QAction(this);
            action->setShortcut(appMenuShortcut(item));
            action->setShortcutContext(Qt::WindowShortcut);
            connect(action, &QAction::triggered, this, method);
            addAction(action);
            actions_.push_back(action);
        }
}

OverlayPanel::~OverlayPanel() = default;

void OverlayPanel::setContent(QWidget* content) {
    if (content_) content_->deleteLater();
    content_ = content;
    layout_->addWidget(content);
    if (QLineEdit* field = firstTextField(content)) field->installEventFilter(this);
    if (content->sizePolicy().verticalPolicy() == QSizePolicy::Fixed) {
        content->installEventFilter(this);
        followContentHeight();
    }
}

void OverlayPanel::followContentHeight() {
    // A window just mapped is still being framed and placed by the window manager, which
    // may take a resize then as a request to place it anew: its height waits until the
    // window is on screen. A hidden window takes it at once.
    if (QWidget::isVisible() && !(windowHandle() && windowHandle()->isExposed())) {
        if (!heightPending_) {
            heightPending_ = true;
            QTimer::singleShot(10, this, [this] {
                heightPending_ = false;
                if (content_) followContentHeight();
            });
        }
        return;
    }
    PanelRect wanted = frame();
    // Qt's idea of the place can still be the frame-relative (0, 0) the window manager's
    // reparenting reported; a resize sent with it would move the panel to the corner.
    if (const auto shown = shownTopLeft()) {
        wanted.x = shown->x;
        wanted.y = shown->y;
    }
    wanted.height = content_->height();
    // The layout keeps the window's minimum at the content's old height until it runs.
    layout_->activate();
    if (wanted.height != frame().height) setFrame(wanted);
}

QLineEdit* OverlayPanel::firstTextField(QWidget* view) {
    if (!view) return nullptr;
    if (auto* field = qobject_cast<QLineEdit*>(view); field && !field->isReadOnly()) return field;
    for (QObject* child : view->children())
        if (auto* widget = qobject_cast<QWidget*>(child); widget && !widget->isWindow())
            if (QLineEdit* found = firstTextField(widget)) return found;
    return nullptr;
}

// --- keys

bool OverlayPanel::isPanelShortcut(const QKeyEvent& key) const {
    const QKeySequence pressed(key.keyCombination());
    for (QAction* action : actions_)
        if (action->shortcut().matches(pressed) == QKeySequence::ExactMatch) return true;
    return false;
}

bool OverlayPanel::handleKey(QKeyEvent* key) {
    PanelKeyRules::Context context;
    context.browsingResults = isBrowsingResults && isBrowsingResults();
    context.hasPreviewPath =
        context.browsingResults && previewURLProvider && previewURLProvider().has_value();
    context.handlesFilterDigits = static_cast<bool>(onFilterDigit);
    context.handlesReveal = static_cast<bool>(onReveal);
    const auto decision = PanelKeyRules::classify(panelKeyPress(*key), context);
    using Kind = PanelKeyRules::Decision::Kind;
    switch (decision.kind) {
    case Kind::passOn:
        return false;
    case Kind::toggleQuickLook:
        quickLookSelected();
        return true;
    case Kind::filterDigit:
        onFilterDigit(decision.digit);
        return true;
    case Kind::reveal:
        onReveal();
        return true;
    }
    return false;
}

bool OverlayPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == content_ && event->type() == QEvent::Resize) {
        followContentHeight();
    } else if (event->type() == QEvent::ShortcutOverride) {
        // The field claims Ctrl+C and the like for itself; the panel's actions win, so the
        // override is swallowed unaccepted and the shortcut goes to the action.
        if (isPanelShortcut(*static_cast<QKeyEvent*>(event))) {
            event->ignore();
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        if (handleKey(static_cast<QKeyEvent*>(event))) return true;
    }
    return QWidget::eventFilter(watched, event);
}

// --- actions

void OverlayPanel::copyPathSelected() {
    if (PanelKeyRules::copy(fieldHasSelectedText, onCopyPath) ==
        PanelKeyRules::CopyOutcome::fieldCopy)
        if (auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget())) field->copy();
}

void OverlayPanel::quickLookSelected() {
    if (preview_->isVisible()) {
        preview_->close();
        return;
    }
    if (!previewURLProvider || !previewURLProvider()) return;
    if (!isActiveWindow()) makeKeyAndOrderFront();
    placePreview();
    preview_->show();
}

void OverlayPanel::placePreview() {
    const PanelRect panel = frame();
    QScreen* screen = QGuiApplication::screenAt(
        QPoint(qRound(panel.x + panel.width / 2), qRound(panel.y + panel.height / 2)));
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const PanelRect at =
        PanelPlacement::beside(panel, toPanelRect(screen->availableGeometry()),
                               PanelPlacement::previewWidth, PanelPlacement::previewHeight);
    // The window manager's frame goes around the preview; known once it has been shown.
    QMargins decoration;
    if (preview_->windowHandle()) decoration = preview_->windowHandle()->frameMargins();
    preview_->setGeometry(
        QRect(QPoint(qRound(at.x), qRound(at.y)), QSize(qRound(at.width), qRound(at.height)))
            .marginsRemoved(decoration));
}

void OverlayPanel::findCopiesSelected() {
    if (onFindCopies) onFindCopies();
}
void OverlayPanel::openTerminalAtSelected() {
    if (onOpenTerminal) onOpenTerminal();
}
void OverlayPanel::openSettingsFromPanel() {
    if (onOpenSettings) onOpenSettings();
}
void OverlayPanel::toggleCheatSheet() {
    if (onToggleCheatSheet) onToggleCheatSheet();
}

void OverlayPanel::givePreviewBackKeyboard() {
    makeKeyAndOrderFront();
    preview_->close();
}

// --- window

// The frame is the panel as the user sees it: the shadow's margin lies outside.
PanelRect OverlayPanel::frame() const {
    const int m = shadowMargin_;
    return toPanelRect(geometry().adjusted(m, m, -m, -m));
}

std::optional<PanelPoint> OverlayPanel::shownTopLeft() const {
    if (!QWidget::isVisible() || !windowHandle() || !windowHandle()->isExposed())
        return std::nullopt;
    const int m = shadowMargin_;
    // Asked of the server: Qt's own idea lags behind what the window manager did.
    if (auto desktop = X11Desktop::current())
        if (const auto at = desktop->shownTopLeft(std::uint32_t(winId())))
            return PanelPoint{double(at->first + m), double(at->second + m)};
    return frame().topLeft();
}

void OverlayPanel::setFrame(const PanelRect& wanted) {
    const PanelRect f = PanelPlacement::keepingTopEdge(frame(), wanted);
    const int m = shadowMargin_;
    setGeometry(
        QRect(qRound(f.x) - m, qRound(f.y) - m, qRound(f.width) + 2 * m, qRound(f.height) + 2 * m));
}

void OverlayPanel::moveTopLeft(PanelPoint topLeft) {
    move(qRound(topLeft.x) - shadowMargin_, qRound(topLeft.y) - shadowMargin_);
}

void OverlayPanel::restorePositionOrCenter(std::optional<PanelPoint> savedTopLeft) {
    std::vector<PanelRect> screens;
    for (QScreen* screen : QGuiApplication::screens())
        screens.push_back(toPanelRect(screen->availableGeometry()));
    // The screen the user is looking at: where the pointer is, else the primary one.
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    std::optional<PanelRect> active;
    if (screen) active = toPanelRect(screen->availableGeometry());
    const PanelRect f = frame();
    if (auto p =
            PanelPlacement::restoredOrCentred(savedTopLeft, f.width, f.height, screens, active))
        moveTopLeft(*p);
}

void OverlayPanel::centerOnActiveScreen() {
    restorePositionOrCenter(std::nullopt);
}

void OverlayPanel::makeKeyAndOrderFront() {
    QWidget::show();
    raise();
    activateWindow();
    // Qt asks for activation with the time of the last event it saw; a hot key grabbed on
    // the root window may be newer, and focus-stealing rules judge by that time.
    if (activationTimestamp_ != 0) {
        if (auto desktop = X11Desktop::current())
            desktop->requestActivation(std::uint32_t(winId()), X11Desktop::Source::application,
                                       activationTimestamp_);
        activationTimestamp_ = 0;
    }
}

void OverlayPanel::focusSearchField() {
    QLineEdit* field = firstTextField(content_);
    if (!field) return;
    field->setFocus(Qt::OtherFocusReason);
    // As a text field that becomes the first responder: the text the panel kept is
    // selected, so typing replaces it.
    field->selectAll();
}

void OverlayPanel::orderOut() {
    if (preview_->isVisible()) preview_->close();
    hide();
}

bool OverlayPanel::previewIsOnScreen() const {
    return preview_->isVisible();
}

bool OverlayPanel::isShaped() const {
    return shadowMargin_ == 0 && QGuiApplication::platformName() == QLatin1String("xcb");
}

bool OverlayPanel::event(QEvent* event) {
    if (event->type() == QEvent::WinIdChange && isShaped() && internalWinId())
        if (auto desktop = X11Desktop::current())
            desktop->useDefaultColormap(std::uint32_t(internalWinId()));
    if (event->type() == QEvent::WindowDeactivate && QWidget::isVisible()) {
        // Focus that leaves for a window other than the preview leaves both.
        if (preview_->isVisible() && QApplication::activeWindow() != preview_) preview_->close();
        if (onResignKey_) onResignKey_();
    }
    return QWidget::event(event);
}

// With a compositing manager the content draws the translucent panel and this window only
// its shadow; without one translucent pixels would show black, so the panel is opaque and
// its corners are cut by a mask.
void OverlayPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int m = shadowMargin_;
    if (m == 0) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(panelShape(QRectF(rect())), palette().color(QPalette::Window));
        return;
    }
    if (shadow_.size() != size()) {
        shadow_ = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        shadow_.fill(Qt::transparent);
        {
            QPainter shape(&shadow_);
            shape.setRenderHint(QPainter::Antialiasing);
            shape.fillPath(panelShape(QRectF(rect()).adjusted(m, m, -m, -m)),
                           Theme::black(Theme::shadowOpacity));
        }
        blurAlpha(shadow_, Theme::shadowRadius);
    }
    painter.drawImage(0, 0, shadow_);
}

void OverlayPanel::resizeEvent(QResizeEvent* event) {
    if (isShaped()) setMask(QRegion(panelShape(QRectF(rect())).toFillPolygon().toPolygon()));
    QWidget::resizeEvent(event);
}

// Dragging the background moves the window: by the window manager where there is one.
void OverlayPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    if (!isActiveWindow()) activateWindow();
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    dragOffset_ = event->globalPosition().toPoint() - pos();
}

void OverlayPanel::mouseMoveEvent(QMouseEvent* event) {
    if (dragOffset_) move(event->globalPosition().toPoint() - *dragOffset_);
}

void OverlayPanel::mouseReleaseEvent(QMouseEvent*) {
    dragOffset_.reset();
}

} // namespace ulmaro
