#include "UlmaroAppKit/Shell/UnixSocketSummonChannel.h"

#include "UlmaroKit/Platform/UniqueFd.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace ulmaro {
namespace {

constexpr int sendTimeoutMs = 500;

std::optional<sockaddr_un> addressOf(const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string& bytes = path.native();
    if (bytes.empty() || bytes.size() >= sizeof(address.sun_path)) return std::nullopt;
    std::memcpy(address.sun_path, bytes.data(), bytes.size());
    return address;
}

bool waitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, timeoutMs);
    } while (rc < 0 && errno == EINTR);
    return rc > 0 && (p.revents & events) != 0;
}

// The listening side: a socket and the thread that accepts on it, stopped through an eventfd.
struct Listener {
    UniqueFd socket;
    UniqueFd wake;
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> alive = std::make_shared<std::atomic<bool>>(true);
    std::filesystem::path path;

    ~Listener() {
        alive->store(false);
        std::uint64_t one = 1;
        if (wake) [[maybe_unused]]
            auto n = ::write(wake.get(), &one, sizeof one);
        if (thread.joinable()) thread.join();
        ::unlink(path.c_str());
    }
};

void acceptLoop(Listener* listener, MainQueue* mainQueue, std::function<void()> handler) {
    auto shared = std::make_shared<std::function<void()>>(std::move(handler));
    for (;;) {
        pollfd fds[2] = {{listener->socket.get(), POLLIN, 0}, {listener->wake.get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        UniqueFd peer(::accept4(listener->socket.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!peer) continue;
        ucred credentials{};
        socklen_t length = sizeof credentials;
        if (::getsockopt(peer.get(), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
            credentials.uid != ::geteuid())
            continue;
        mainQueue->post([alive = listener->alive, shared] {
            if (alive->load()) (*shared)();
        });
    }
}

} // namespace

UnixSocketSummonChannel::UnixSocketSummonChannel(std::filesystem::path socketPath,
                                                 MainQueue& mainQueue)
    : socketPath_(std::move(socketPath)), mainQueue_(mainQueue) {}

bool UnixSocketSummonChannel::send() {
    auto address = addressOf(socketPath_);
    if (!address) return false;
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) return false;
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) {
        if (errno != EAGAIN && errno != EINPROGRESS) return false;
        if (!waitFor(fd.get(), POLLOUT, sendTimeoutMs)) return false;
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return false;
    }
    const char byte = 's';
    return ::send(fd.get(), &byte, 1, MSG_NOSIGNAL) == 1;
}

void UnixSocketSummonChannel::post() {
    send();
}

Subscription UnixSocketSummonChannel::observe(std::function<void()> handler) {
    auto address = addressOf(socketPath_);
    if (!address) return {};
    auto listener = std::make_shared<Listener>();
    listener->path = socketPath_;
    listener->socket.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    listener->wake.reset(::eventfd(0, EFD_CLOEXEC));
    if (!listener->socket || !listener->wake) return {};
    // Only the lock holder gets here, so whatever stands at the path is a dead copy's.
    ::unlink(socketPath_.c_str());
    if (::bind(listener->socket.get(), reinterpret_cast<const sockaddr*>(&*address),
               sizeof *address) != 0 ||
        ::listen(listener->socket.get(), 8) != 0) {
        listener->path.clear();
        return {};
    }
    listener->thread = std::thread(acceptLoop, listener.get(), &mainQueue_, std::move(handler));
    return Subscription([listener]() mutable { listener.reset(); });
}

} // namespace ulmaro
