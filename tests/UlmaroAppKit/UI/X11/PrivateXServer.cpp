#include "PrivateXServer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

extern char** environ;

namespace ulmaro::test {
namespace {

using Clock = std::chrono::steady_clock;

pid_t spawn(const std::vector<std::string>& arguments, const std::string& display,
            int keepFd = -1) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    // Output to /dev/null: CTest waits for every pipe of a test to close.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (keepFd >= 0) posix_spawn_file_actions_adddup2(&actions, keepFd, 3);

    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (std::strncmp(*entry, "DISPLAY=", 8) != 0) env.emplace_back(*entry);
    if (!display.empty()) env.push_back("DISPLAY=" + display);
    std::vector<char*> envp, argv;
    for (auto& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    auto args = arguments;
    for (auto& argument : args)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

/// Waits up to `limit` for `pid` to end; its exit status, or −1 if it is still running.
int reap(pid_t pid, std::chrono::milliseconds limit) {
    auto until = Clock::now() + limit;
    for (;;) {
        int status = 0;
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        if (done < 0 && errno != EINTR) return 128;
        if (Clock::now() > until) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void stop(pid_t& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    if (reap(pid, std::chrono::seconds(5)) < 0) {
        ::kill(pid, SIGKILL);
        reap(pid, std::chrono::seconds(5));
    }
    pid = -1;
}

} // namespace

PrivateXServer::PrivateXServer(const std::filesystem::path& openboxConfig) {
    if (!startServer() || !startWindowManager(openboxConfig)) display_.clear();
}

PrivateXServer::~PrivateXServer() {
    stop(openbox_);
    stop(xvfb_);
}

// Xvfb picks the first free display itself and writes its number to the descriptor.
bool PrivateXServer::startServer() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return fail("pipe failed");
    xvfb_ = spawn(
        {"Xvfb", "-displayfd", "3", "-screen", "0", "640x480x24", "-nolisten", "tcp", "-noreset"},
        "", fds[1]);
    ::close(fds[1]);
    if (xvfb_ < 0) {
        ::close(fds[0]);
        return fail("Xvfb could not be started");
    }
    std::string number;
    auto until = Clock::now() + std::chrono::seconds(20);
    while (number.find('\n') == std::string::npos && Clock::now() < until) {
        pollfd pfd{fds[0], POLLIN, 0};
        if (::poll(&pfd, 1, 100) <= 0) continue;
        char buffer[16];
        auto got = ::read(fds[0], buffer, sizeof buffer);
        if (got <= 0) break;
        number.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fds[0]);
    if (number.find('\n') == std::string::npos) return fail("Xvfb gave no display");
    number.resize(number.find('\n'));
    display_ = ':';
    display_ += number;
    return true;
}

// Ready once it manages a window: openbox takes its key bindings before it manages any.
bool PrivateXServer::startWindowManager(const std::filesystem::path& config) {
    openbox_ = spawn({"openbox", "--sm-disable", "--config-file", config.string()}, display_);
    if (openbox_ < 0) return fail("openbox could not be started");
    xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
    bool managed = false;
    if (!xcb_connection_has_error(c)) {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        xcb_window_t window = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_map_window(c, window);
        auto until = Clock::now() + std::chrono::seconds(20);
        while (!managed && Clock::now() < until && !xcb_connection_has_error(c)) {
            auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
            managed = tree != nullptr && tree->parent != screen->root;
            std::free(tree);
            if (!managed) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        xcb_destroy_window(c, window);
        xcb_flush(c);
    }
    xcb_disconnect(c);
    return managed || fail("openbox did not manage a window");
}

int PrivateXServer::run(const std::vector<std::string>& arguments, int limitSeconds) const {
    pid_t pid = spawn(arguments, display_);
    if (pid < 0) return 127;
    int status = reap(pid, std::chrono::seconds(limitSeconds));
    if (status < 0) {
        ::kill(pid, SIGKILL);
        reap(pid, std::chrono::seconds(5));
    }
    return status;
}

void PrivateXServer::killServer() {
    if (xvfb_ > 0) ::kill(xvfb_, SIGKILL);
    reap(xvfb_, std::chrono::seconds(5));
    xvfb_ = -1;
    stop(openbox_);
}

} // namespace ulmaro::test
