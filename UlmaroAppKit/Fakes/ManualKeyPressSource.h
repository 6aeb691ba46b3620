#pragma once

#include "UlmaroAppKit/Settings/KeyPressSource.h"

#include <memory>
#include <vector>

namespace ulmaro {

/// Key presses a test makes by hand: `press` hands one to every installed monitor, oldest
/// first, as the application would before any window sees it.
class ManualKeyPressSource final : public KeyPressSource {
public:
    std::unique_ptr<Monitor> addMonitor(Handler handler) override {
        auto entry = std::make_shared<Handler>(std::move(handler));
        handlers_.push_back(entry);
        return std::make_unique<Installed>(*this, entry);
    }

    /// Whether any monitor took the press.
    bool press(const RecordedKeyPress& keyPress) {
        const auto snapshot = handlers_;
        for (const auto& handler : snapshot)
            (*handler)(keyPress); // the copy keeps it alive if the monitor goes meanwhile
        return !snapshot.empty();
    }

    std::size_t monitors() const { return handlers_.size(); }

private:
    class Installed final : public Monitor {
    public:
        Installed(ManualKeyPressSource& source, std::shared_ptr<Handler> handler)
            : source_(source), handler_(std::move(handler)) {}
        ~Installed() override { std::erase(source_.handlers_, handler_); }

    private:
        ManualKeyPressSource& source_;
        std::shared_ptr<Handler> handler_;
    };

    std::vector<std::shared_ptr<Handler>> handlers_;
};

} // namespace ulmaro
