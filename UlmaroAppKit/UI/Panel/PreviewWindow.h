#pragma once

#include "UlmaroAppKit/Panel/PreviewPresenter.h"

#include <QThreadPool>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QLabel;
class QPlainTextEdit;
class QStackedWidget;

namespace ulmaro {

struct PreviewContent;

/// The in-app preview of the panel's selection: an image fitted to the window, the start
/// of a text file, a folder's names, or else the item's icon and facts. Reading and
/// decoding run off the GUI thread; only the newest request is ever shown. While it has
/// the keyboard, Escape, Space and Ctrl+Y close it and Up and Down move the selection.
class PreviewWindow final : public QWidget, public PreviewPresenter {
    Q_OBJECT
public:
    explicit PreviewWindow(QWidget* parent = nullptr);
    /// Waits for a decode in flight.
    ~PreviewWindow() override;

    /// The selection's path (raw bytes), none when there is nothing to preview.
    std::function<std::optional<std::string>()> pathProvider;
    /// A closing key was pressed: give the keyboard back, then `close()`.
    std::function<void()> onCloseKey;
    /// A move key was pressed, with its step.
    std::function<void(int)> onMoveKey;
    /// The keyboard went to a window that is neither this one nor `companion`; the preview
    /// has closed itself.
    std::function<void()> onFocusLeft;
    /// The panel, whose taking the keyboard is no departure.
    QWidget* companion = nullptr;

    bool isVisible() const override { return QWidget::isVisible(); }
    void show() override;
    void reload() override;
    void close() override;

    /// The path of what is on screen now, for tests.
    const std::string& shownPath() const { return shownPath_; }

signals:
    /// New content is on screen.
    void contentShown();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool handleKey(QKeyEvent* key);
    void apply(std::uint64_t generation, std::string path, PreviewContent content);

    QStackedWidget* stack_;
    QLabel* image_;
    QPlainTextEdit* text_;
    QLabel* factsIcon_;
    QLabel* factsText_;
    QThreadPool pool_;
    std::atomic<std::uint64_t> generation_{0};
    std::string shownPath_;
};

} // namespace ulmaro
