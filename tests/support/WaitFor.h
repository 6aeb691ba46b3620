#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace ulmaro::test {

/// Polls `done` until it holds. The limit says nothing about speed: it only turns a hang
/// (work that never happens) into a failed test.
inline bool waitFor(const std::function<bool()>& done,
                    std::chrono::seconds limit = std::chrono::seconds(30)) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace ulmaro::test
