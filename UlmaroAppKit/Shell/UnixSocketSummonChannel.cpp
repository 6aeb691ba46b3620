#include "UlmaroAppKit/Shell/UnixSocketSummonChannel.h"

#include "UlmaroKit/Platform/UniqueFd.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
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

} // namespace

// The listening side: a socket and the thread that accepts on it, stopped through an
// eventfd. Summons accepted before a handler is installed are counted and handed over then.
struct UnixSocketSummonChannel::Listener {
    UniqueFd socket;
    UniqueFd wake;
    std::thread thread;
    std::filesystem::path path;
    MainQueue* mainQueue = nullptr;

    std::mutex mutex;
    std::shared_ptr<std::function<void()>> handler; // under mutex
    int waiting = 0;                                // under mutex
    std::shared_ptr<std::atomic<bool>> alive = std::make_shared<std::atomic<bool>>(true);

    ~Listener() {
        alive->store(false);
        std::uint64_t one = 1;
        if (wake) [[maybe_unused]]
            auto n = ::write(wake.get(), &one, sizeof one);
        if (thread.joinable()) thread.join();
        if (!path.empty()) ::unlink(path.c_str());
    }

    // Main thread or the accept thread; posts under the lock, so summons keep their order.
    void deliverLocked() {
        mainQueue->post([alive = alive, handler = handler] {
            if (alive->load()) (*handler)();
        });
    }

    void summoned() {
        std::lock_guard lock(mutex);
        if (handler)
            deliverLocked();
        else
            ++waiting;
    }

    void install(std::function<void()> newHandler) {
        std::lock_guard lock(mutex);
        handler = std::make_shared<std::function<void()>>(std::move(newHandler));
        for (; waiting > 0; --waiting)
            deliverLocked();
    }

    void acceptLoop() {
        for (;;) {
            pollfd fds[2] = {{socket.get(), POLLIN, 0}, {wake.get(), POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents != 0) return;
            UniqueFd peer(::accept4(socket.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (!peer) continue;
            ucred credentials{};
            socklen_t length = sizeof credentials;
            if (::getsockopt(peer.get(), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
                credentials.uid != ::geteuid())
                continue;
            summoned();
        }
    }
};

UnixSocketSummonChannel::UnixSocketSummonChannel(std::filesystem::path socketPath,
                                                 MainQueue& mainQueue)
    : socketPath_(std::move(socketPath)), mainQueue_(mainQueue) {}

UnixSocketSummonChannel::~UnixSocketSummonChannel() = default;

bool UnixSocketSummonChannel::send(const std::filesystem::path& socketPath) {
    auto address = addressOf(socketPath);
    if (!address) return false;
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) return false;
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) {
        // EAGAIN: the listener's queue is full and nothing was queued; try again later.
        if (errno != EINPROGRESS) return false;
        if (!waitFor(fd.get(), POLLOUT, sendTimeoutMs)) return false;
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return false;
    }
    // The listener counts the connection as the summon and may close it before the byte
    // arrives: a failed write is no failed summon, and must not send another.
    const char byte = 's';
    [[maybe_unused]] auto sent = ::send(fd.get(), &byte, 1, MSG_NOSIGNAL);
    return true;
}

bool UnixSocketSummonChannel::send(const std::filesystem::path& socketPath,
                                   std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (send(socketPath)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void UnixSocketSummonChannel::post() {
    send(socketPath_);
}

bool UnixSocketSummonChannel::listen() {
    if (*listener_) return true;
    auto address = addressOf(socketPath_);
    if (!address) return false;
    auto listener = std::make_shared<Listener>();
    listener->mainQueue = &mainQueue_;
    listener->socket.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    listener->wake.reset(::eventfd(0, EFD_CLOEXEC));
    if (!listener->socket || !listener->wake) return false;
    // Only the lock holder gets here, so whatever stands at the path is a dead copy's.
    ::unlink(socketPath_.c_str());
    if (::bind(listener->socket.get(), reinterpret_cast<const sockaddr*>(&*address),
               sizeof *address) != 0)
        return false;
    listener->path = socketPath_;
    if (::listen(listener->socket.get(), 8) != 0) return false;
    listener->thread = std::thread([raw = listener.get()] { raw->acceptLoop(); });
    *listener_ = std::move(listener);
    return true;
}

Subscription UnixSocketSummonChannel::observe(std::function<void()> handler) {
    if (!listen()) return {};
    (*listener_)->install(std::move(handler));
    return Subscription([holder = listener_] { holder->reset(); });
}

} // namespace ulmaro
