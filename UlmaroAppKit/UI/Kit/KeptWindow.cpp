#include "UlmaroAppKit/UI/Kit/KeptWindow.h"

#include "UlmaroAppKit/UI/MenuBar/AppMenuShortcut.h"
#include "UlmaroAppKit/UI/X11/X11Desktop.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

namespace ulmaro {
namespace {

/// Reports every change of its frame; closing only hides it (it is never deleted on close).
class FrameWindow final : public QWidget {
public:
    FrameWindow(Qt::WindowFlags flags, std::function<void(const WindowFrame&)> onFrame)
        : QWidget(nullptr, flags), onFrame_(std::move(onFrame)) {}

    bool tracking = false;

protected:
    void moveEvent(QMoveEvent* event) override {
        QWidget::moveEvent(event);
        report();
    }
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        report();
    }

private:
    void report() {
        if (!tracking) return;
        const QRect g = geometry();
        onFrame_({g.x(), g.y(), g.width(), g.height()});
    }

    std::function<void(const WindowFrame&)> onFrame_;
};

} // namespace

KeptWindow::KeptWindow(SettingsStore& settings, Options options, Builder buildContent)
    : frames_(settings), options_(std::move(options)), buildContent_(std::move(buildContent)) {}

KeptWindow::~KeptWindow() = default;

void KeptWindow::show() {
    if (!window_) build();
    bringToFront();
}

void KeptWindow::build() {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                            Qt::WindowMaximizeButtonHint;
    if (options_.minimisable) flags |= Qt::WindowMinimizeButtonHint;
    auto window = std::make_unique<FrameWindow>(
        flags, [this](const WindowFrame& frame) { frames_.save(options_.autosaveName, frame); });
    window->setWindowTitle(options_.title);
    addQuitShortcut(*window);
    window->setMinimumSize(options_.minimumSize);
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    if (buildContent_)
        if (QWidget* content = buildContent_()) layout->addWidget(content);

    QSize size = options_.initialSize.expandedTo(options_.minimumSize);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    if (auto saved = frames_.load(options_.autosaveName)) {
        size = QSize(saved->width, saved->height).expandedTo(options_.minimumSize);
        // A frame saved on a larger screen still fits this one.
        if (area.isValid()) size = size.boundedTo(area.size()).expandedTo(options_.minimumSize);
    }
    window->resize(size);
    if (area.isValid())
        window->move(area.x() + (area.width() - size.width()) / 2,
                     area.y() + (area.height() - size.height()) / 2);
    window->tracking = true;
    window_ = std::move(window);
}

void KeptWindow::bringToFront() {
    if (!window_) return;
    if (window_->isMinimized())
        window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window_->show();
    window_->raise();
    window_->activateWindow();
    // The user asked for the window (a menu item), so it comes forward over whatever holds
    // the focus; openbox refuses an application's own request whose time is older than the
    // focused window's last input, and lets a pager's through.
    if (const auto desktop = X11Desktop::current())
        desktop->requestActivation(std::uint32_t(window_->winId()), X11Desktop::Source::pager, 0);
}

} // namespace ulmaro
