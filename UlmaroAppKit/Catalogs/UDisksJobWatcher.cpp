#include "UlmaroAppKit/Catalogs/UDisksJobWatcher.h"

#include "UlmaroAppKit/Platform/PrivateBusConnection.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <gio/gio.h>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>

namespace ulmaro {
namespace {

constexpr const char* service = "org.freedesktop.UDisks2";
constexpr const char* managerPath = "/org/freedesktop/UDisks2";
constexpr const char* jobInterface = "org.freedesktop.UDisks2.Job";
constexpr const char* blockInterface = "org.freedesktop.UDisks2.Block";
constexpr int callTimeoutMs = 2000;

struct VariantUnref {
    void operator()(GVariant* v) const { g_variant_unref(v); }
};
using Variant = std::unique_ptr<GVariant, VariantUnref>;

std::string deviceName(std::string_view deviceFile) {
    const auto slash = deviceFile.rfind('/');
    return std::string(slash == std::string_view::npos ? deviceFile : deviceFile.substr(slash + 1));
}

// The kernel names of the block devices that are `objects` (block objects) or lie on them
// (drive objects), as udisks2 lists them now.
std::vector<std::string> blockDevicesOf(GDBusConnection* connection,
                                        const std::set<std::string>& objects) {
    Variant reply(g_dbus_connection_call_sync(
        connection, service, managerPath, "org.freedesktop.DBus.ObjectManager", "GetManagedObjects",
        nullptr, G_VARIANT_TYPE("(a{oa{sa{sv}}})"), G_DBUS_CALL_FLAGS_NONE, callTimeoutMs, nullptr,
        nullptr));
    std::vector<std::string> devices;
    if (!reply) return devices;
    Variant managed(g_variant_get_child_value(reply.get(), 0));
    GVariantIter iter;
    g_variant_iter_init(&iter, managed.get());
    const gchar* path = nullptr;
    GVariant* interfaces = nullptr;
    while (g_variant_iter_next(&iter, "{&o@a{sa{sv}}}", &path, &interfaces)) {
        Variant owned(interfaces);
        Variant block(g_variant_lookup_value(interfaces, blockInterface, G_VARIANT_TYPE("a{sv}")));
        if (!block) continue;
        Variant file(g_variant_lookup_value(block.get(), "Device", G_VARIANT_TYPE_BYTESTRING));
        if (!file) continue;
        const gchar* drive = nullptr;
        g_variant_lookup(block.get(), "Drive", "&o", &drive);
        if (objects.contains(path) || (drive != nullptr && objects.contains(drive))) {
            std::string name = deviceName(g_variant_get_bytestring(file.get()));
            if (!name.empty() && std::find(devices.begin(), devices.end(), name) == devices.end())
                devices.push_back(std::move(name));
        }
    }
    return devices;
}

} // namespace

struct UDisksJobWatcher::Listener {
    enum class State { starting, listening, failed };

    GMainContext* context = g_main_context_new();
    GMainLoop* loop = g_main_loop_new(context, FALSE);
    GCancellable* cancellable = g_cancellable_new();
    OnLeaving onLeaving;
    std::thread thread;
    mutable std::mutex lock;
    mutable std::condition_variable changed;
    State state = State::starting;

    ~Listener() {
        g_cancellable_cancel(cancellable);
        // A quit that waits in the context: it ends the loop even if it has not run yet.
        GSource* quit = g_idle_source_new();
        g_source_set_callback(
            quit,
            [](gpointer running) {
                g_main_loop_quit(static_cast<GMainLoop*>(running));
                return G_SOURCE_REMOVE;
            },
            loop, nullptr);
        g_source_attach(quit, context);
        g_source_unref(quit);
        if (thread.joinable()) thread.join();
        g_object_unref(cancellable);
        g_main_loop_unref(loop);
        g_main_context_unref(context);
    }

    void settle(State now) {
        {
            std::lock_guard guard(lock);
            state = now;
        }
        changed.notify_all();
    }

    void run(const std::string& busAddress) {
        g_main_context_push_thread_default(context);
        GDBusConnection* connection = connectPrivately(G_BUS_TYPE_SYSTEM, busAddress, cancellable);
        guint subscription = 0;
        if (connection != nullptr)
            subscription = g_dbus_connection_signal_subscribe(
                connection, service, "org.freedesktop.DBus.ObjectManager", "InterfacesAdded",
                managerPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &Listener::signalled, this,
                nullptr);
        // The subscription's match rule, and GDBus's lookup of who owns the service name, go
        // out without waiting: a job announced before the bus has them would be lost. One
        // call answered after both (the bus answers in order) means they are in place.
        if (subscription != 0)
            if (GVariant* id = g_dbus_connection_call_sync(
                    connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                    "org.freedesktop.DBus", "GetId", nullptr, G_VARIANT_TYPE("(s)"),
                    G_DBUS_CALL_FLAGS_NONE, 5000, cancellable, nullptr))
                g_variant_unref(id);
        settle(subscription != 0 ? State::listening : State::failed);
        if (subscription != 0) g_main_loop_run(loop);
        if (connection != nullptr) {
            if (subscription != 0) g_dbus_connection_signal_unsubscribe(connection, subscription);
            g_dbus_connection_close_sync(connection, nullptr, nullptr);
            g_object_unref(connection);
        }
        g_main_context_pop_thread_default(context);
    }

    static void signalled(GDBusConnection* connection, const gchar*, const gchar*, const gchar*,
                          const gchar*, GVariant* parameters, gpointer self) {
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(oa{sa{sv}})"))) return;
        Variant interfaces(g_variant_get_child_value(parameters, 1));
        Variant job(
            g_variant_lookup_value(interfaces.get(), jobInterface, G_VARIANT_TYPE("a{sv}")));
        if (!job) return;
        const gchar* operation = nullptr;
        if (!g_variant_lookup(job.get(), "Operation", "&s", &operation) ||
            !takesDeviceAway(operation))
            return;
        Variant objects(g_variant_lookup_value(job.get(), "Objects", G_VARIANT_TYPE("ao")));
        if (!objects) return;
        std::set<std::string> paths;
        GVariantIter iter;
        g_variant_iter_init(&iter, objects.get());
        const gchar* path = nullptr;
        while (g_variant_iter_next(&iter, "&o", &path))
            paths.insert(path);
        if (paths.empty()) return;
        auto devices = blockDevicesOf(connection, paths);
        auto* listener = static_cast<Listener*>(self);
        if (!devices.empty() && listener->onLeaving) listener->onLeaving(devices);
    }
};

UDisksJobWatcher::UDisksJobWatcher(std::string busAddress, OnLeaving onLeaving)
    : busAddress_(std::move(busAddress)), onLeaving_(std::move(onLeaving)) {}

UDisksJobWatcher::~UDisksJobWatcher() = default;

void UDisksJobWatcher::start() {
    if (listener_) return;
    listener_ = std::make_unique<Listener>();
    listener_->onLeaving = onLeaving_;
    Listener* listener = listener_.get();
    listener->thread = std::thread([listener, address = busAddress_] { listener->run(address); });
}

bool UDisksJobWatcher::waitUntilListening(double timeoutSeconds) const {
    if (!listener_) return false;
    std::unique_lock guard(listener_->lock);
    listener_->changed.wait_for(guard, std::chrono::duration<double>(timeoutSeconds),
                                [&] { return listener_->state != Listener::State::starting; });
    return listener_->state == Listener::State::listening;
}

bool UDisksJobWatcher::takesDeviceAway(const std::string& operation) {
    return operation == "filesystem-unmount" || operation == "drive-eject" ||
           operation == "drive-power-off";
}

} // namespace ulmaro
