#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace ulmaro::test {

/// An Xvfb of the test's own on a free display (no TCP), with openbox started from
/// `openboxConfig`. Every wait is bounded; the destructor ends both processes, by their ids.
class PrivateXServer {
public:
    explicit PrivateXServer(const std::filesystem::path& openboxConfig);
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    /// Empty when the server or the window manager did not come up; `error()` says why.
    const std::string& display() const { return display_; }
    const std::string& error() const { return error_; }

    /// Runs `program` with its arguments on this display; its exit status, −1 when it had
    /// to be killed after `limitSeconds`.
    int run(const std::vector<std::string>& arguments, int limitSeconds = 20) const;
    /// Ends the X server as a crash would (the window manager goes with it).
    void killServer();

private:
    bool startServer();
    bool startWindowManager(const std::filesystem::path& config);
    bool fail(std::string why) {
        error_ = std::move(why);
        return false;
    }

    pid_t xvfb_ = -1;
    pid_t openbox_ = -1;
    std::string display_;
    std::string error_;
};

} // namespace ulmaro::test
