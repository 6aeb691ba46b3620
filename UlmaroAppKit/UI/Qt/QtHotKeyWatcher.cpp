#include "UlmaroAppKit/UI/Qt/QtHotKeyWatcher.h"

#include <QSocketNotifier>

namespace ulmaro {

QtHotKeyWatcher::QtHotKeyWatcher(std::shared_ptr<X11HotKeyBackend> backend)
    : backend_(std::move(backend)) {
    int fd = backend_->fileDescriptor();
    if (fd < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
        // A lost connection stays readable: stop watching it.
        if (!backend_->processEvents()) notifier_->setEnabled(false);
    });
}

QtHotKeyWatcher::~QtHotKeyWatcher() = default;

bool QtHotKeyWatcher::isWatching() const {
    return notifier_ && notifier_->isEnabled();
}

} // namespace ulmaro
