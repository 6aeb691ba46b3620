#include "UlmaroAppKit/Catalogs/VolumeEvents.h"

#include "UlmaroKit/Platform/UniqueFd.h"
#include "UlmaroKit/Scanning/VolumeEnumerator.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace ulmaro {

// The thread that waits for mount-table changes and lists the volumes after each.
struct VolumeEvents::Monitor {
    UniqueFd table;
    UniqueFd wake; // counts hand-made changes; the stop flag says whether to end
    std::atomic<bool> stopping{false};
    std::thread thread;

    void signal() {
        std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wake.get(), &one, sizeof one);
    }
};

VolumeEvents::VolumeEvents(MainQueue& mainQueue, ListVolumes list, Options options)
    : mainQueue_(mainQueue), list_(std::move(list)), options_(std::move(options)) {}

VolumeEvents::VolumeEvents(MainQueue& mainQueue)
    : VolumeEvents(mainQueue, systemVolumes, Options{.udisksBus = std::string()}) {}

VolumeEvents::~VolumeEvents() {
    *alive_ = false;
    udisks_.reset();
    if (monitor_) {
        monitor_->stopping = true;
        monitor_->signal();
        if (monitor_->thread.joinable()) monitor_->thread.join();
    }
}

std::vector<MountedVolume> VolumeEvents::systemVolumes() {
    VolumeEnumerator::forgetProbes();
    return VolumeEnumerator::mountedVolumes();
}

void VolumeEvents::start() {
    if (monitor_) return;
    volumes_ = list_();
    if (options_.udisksBus) {
        std::weak_ptr<bool> alive = alive_;
        udisks_ = std::make_unique<UDisksJobWatcher>(
            *options_.udisksBus, [this, alive](const std::vector<std::string>& devices) {
                mainQueue_.post([this, alive, devices] {
                    if (alive.lock()) noteDevicesLeaving(devices);
                });
            });
        udisks_->start();
    }
    monitor_ = std::make_unique<Monitor>();
    monitor_->wake.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!options_.mountTable.empty())
        monitor_->table.reset(::open(options_.mountTable.c_str(), O_RDONLY | O_CLOEXEC));

    Monitor* monitor = monitor_.get();
    std::weak_ptr<bool> alive = alive_;
    monitor->thread = std::thread([this, monitor, alive] {
        using Steady = std::chrono::steady_clock;
        std::vector<Steady::time_point> due; // listings still to make, ascending
        auto listAndPost = [&] {
            auto now = list_();
            mainQueue_.post([this, alive, now = std::move(now)]() mutable {
                if (alive.lock()) apply(std::move(now));
            });
        };
        for (;;) {
            int timeout = -1;
            if (!due.empty()) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due.front() -
                                                                                  Steady::now());
                timeout = static_cast<int>(std::max<std::int64_t>(0, left.count()));
            }
            pollfd fds[2] = {{monitor->wake.get(), POLLIN, 0}, {monitor->table.get(), POLLPRI, 0}};
            int ready = ::poll(fds, monitor->table ? 2 : 1, timeout);
            if (monitor->stopping) return;
            if (ready < 0) continue;
            bool changed = false;
            if (fds[0].revents & POLLIN) {
                std::uint64_t count = 0;
                [[maybe_unused]] auto n = ::read(monitor->wake.get(), &count, sizeof count);
                changed = true;
            }
            if (monitor->table && (fds[1].revents & (POLLPRI | POLLERR))) {
                // The flag stays raised until the table is read again from the start.
                char buffer[4096];
                ::lseek(monitor->table.get(), 0, SEEK_SET);
                while (::read(monitor->table.get(), buffer, sizeof buffer) > 0) {
                }
                changed = true;
            }
            auto now = Steady::now();
            if (changed) {
                listAndPost();
                due.clear();
                for (auto delay : options_.relistAfter)
                    due.push_back(now + std::chrono::duration_cast<Steady::duration>(delay));
                continue;
            }
            if (!due.empty() && due.front() <= now) {
                while (!due.empty() && due.front() <= now)
                    due.erase(due.begin());
                listAndPost();
            }
        }
    });
}

void VolumeEvents::noteMountTableChanged() {
    if (monitor_) monitor_->signal();
}

void VolumeEvents::noteDevicesLeaving(const std::vector<std::string>& devices) {
    std::vector<std::string> leaving;
    for (const auto& volume : volumes_)
        if (!volume.device.empty() &&
            std::find(devices.begin(), devices.end(), volume.device) != devices.end())
            leaving.push_back(volume.mountPath);
    for (const auto& path : leaving)
        willUnmount_.emit(path);
}

void VolumeEvents::apply(std::vector<MountedVolume> now) {
    auto sameVolume = [](const MountedVolume& a, const MountedVolume& b) {
        return a.mountPath == b.mountPath && a.uuid == b.uuid;
    };
    auto holds = [&](const std::vector<MountedVolume>& list, const MountedVolume& v) {
        return std::any_of(list.begin(), list.end(),
                           [&](const MountedVolume& x) { return sameVolume(x, v); });
    };
    std::vector<std::string> gone;
    for (const auto& old : volumes_)
        if (!holds(now, old)) gone.push_back(old.mountPath);
    std::vector<MountedVolume> arrived;
    for (const auto& v : now)
        if (!holds(volumes_, v)) arrived.push_back(v);

    for (const auto& path : gone)
        willUnmount_.emit(path);
    volumes_ = std::move(now);
    std::weak_ptr<bool> alive = alive_;
    for (const auto& path : gone)
        mainQueue_.post([this, alive, path] {
            if (alive.lock()) didUnmount_.emit(path);
        });
    for (const auto& volume : arrived)
        mainQueue_.post([this, alive, volume] {
            if (alive.lock()) didMount_.emit(volume);
        });
}

} // namespace ulmaro
