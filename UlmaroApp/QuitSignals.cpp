#include "UlmaroApp/QuitSignals.h"

#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace ulmaro {
namespace {

int pipeEnds[2] = {-1, -1};
std::atomic<bool> quitting{false};

void onSignal(int) {
    if (quitting.exchange(true)) _exit(0);
    const char byte = 'q';
    [[maybe_unused]] const auto written = ::write(pipeEnds[1], &byte, 1);
}

} // namespace

QuitSignals::QuitSignals(std::function<void()> onQuit, QObject* parent)
    : QObject(parent), onQuit_(std::move(onQuit)) {
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char drained[16];
        while (::read(pipeEnds[0], drained, sizeof drained) > 0) {
        }
        if (onQuit_) onQuit_();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

QuitSignals::~QuitSignals() = default;

void QuitSignals::markQuitting() {
    quitting = true;
}

} // namespace ulmaro
