#pragma once

#include <QString>
#include <memory>

class QWidget;

namespace ulmaro {

/// A small window standing where a window of the application is not built yet: its title
/// and one line saying so. Made on first show, kept and raised afterwards. GUI thread only.
class PendingWindow {
public:
    explicit PendingWindow(QString title);
    ~PendingWindow();
    PendingWindow(const PendingWindow&) = delete;
    PendingWindow& operator=(const PendingWindow&) = delete;

    void show();
    QWidget* window() const { return window_.get(); }

private:
    QString title_;
    std::unique_ptr<QWidget> window_;
};

} // namespace ulmaro
