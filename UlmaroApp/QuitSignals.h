#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace ulmaro {

/// SIGTERM, SIGINT and SIGHUP as a quit request on the GUI thread: the handler only writes
/// a byte to a pipe that a socket notifier reads. A second signal while the first is being
/// handled (the save at the end) ends the process at once.
class QuitSignals final : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(std::function<void()> onQuit, QObject* parent = nullptr);
    ~QuitSignals() override;

    /// The save at the end has begun, whatever asked for the quit: a signal now ends the
    /// process at once.
    static void markQuitting();

private:
    std::function<void()> onQuit_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace ulmaro
