#include "UlmaroAppKit/Settings/ShortcutRecorder.h"

namespace ulmaro {

ShortcutRecorder::ShortcutRecorder(std::shared_ptr<KeyPressSource> source)
    : source_(std::move(source)) {}

std::uint32_t ShortcutRecorder::carbonModifiers(unsigned flags) {
    using Press = RecordedKeyPress;
    std::uint32_t mask = 0;
    if (flags & Press::super) mask |= KeyCombo::command;
    if (flags & Press::shift) mask |= KeyCombo::shift;
    if (flags & Press::alt) mask |= KeyCombo::option;
    if (flags & Press::control) mask |= KeyCombo::control;
    return mask;
}

void ShortcutRecorder::setActive(bool active, std::function<void()> onDone, OnCapture onCapture) {
    if (!active) {
        tearDown();
        return;
    }
    if (monitor_) return;
    monitor_ = source_->addMonitor(
        [this, onDone = std::move(onDone), onCapture = std::move(onCapture)](
            const RecordedKeyPress& press) { handle(press, onDone, onCapture); });
}

void ShortcutRecorder::tearDown() {
    monitor_.reset();
}

void ShortcutRecorder::handle(const RecordedKeyPress& press, const std::function<void()>& onDone,
                              const OnCapture& onCapture) {
    using Kind = RecordedKeyPress::Kind;
    if (press.kind == Kind::modifier || press.kind == Kind::unnamed) return;
    // Both callbacks live in the monitor's handler, which the tear-down destroys.
    const auto capture = onCapture;
    const auto done = onDone;
    if (press.kind == Kind::key && capture) capture({press.keyCode, carbonModifiers(press.flags)});
    tearDown();
    if (done) done();
}

} // namespace ulmaro
