#pragma once

#include <functional>
#include <gio/gio.h>
#include <string>
#include <thread>

namespace ulmaro::test {

/// A service of a test on a private bus: owns `name` and serves the one interface that
/// `interfaceXml` describes at `objectPath`, answering its calls through `handler` on a
/// thread of its own.
class PrivateBusService {
public:
    using Handler =
        std::function<void(const gchar* method, GVariant* parameters, GDBusMethodInvocation*)>;

    PrivateBusService(const std::string& address, const std::string& name,
                      const std::string& objectPath, const char* interfaceXml, Handler handler)
        : handler_(std::move(handler)) {
        context_ = g_main_context_new();
        loop_ = g_main_loop_new(context_, FALSE);
        const auto flags =
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
        connection_ = g_dbus_connection_new_for_address_sync(address.c_str(), flags, nullptr,
                                                             nullptr, nullptr);
        if (connection_ == nullptr) return;
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(interfaceXml, nullptr);
        static const GDBusInterfaceVTable vtable{&PrivateBusService::handle, nullptr, nullptr, {}};
        // Calls are dispatched on the context that is the thread's default at registration.
        g_main_context_push_thread_default(context_);
        registration_ = g_dbus_connection_register_object(
            connection_, objectPath.c_str(), node->interfaces[0], &vtable, this, nullptr, nullptr);
        g_main_context_pop_thread_default(context_);
        g_dbus_node_info_unref(node);
        GVariant* reply = g_dbus_connection_call_sync(
            connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", name.c_str(), 4u), G_VARIANT_TYPE("(u)"),
            G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        if (reply != nullptr) {
            guint32 answer = 0;
            g_variant_get(reply, "(u)", &answer);
            owned_ = answer == 1;
            g_variant_unref(reply);
        }
        thread_ = std::thread([this] { g_main_loop_run(loop_); });
    }

    ~PrivateBusService() {
        if (thread_.joinable()) {
            g_main_loop_quit(loop_);
            thread_.join();
        }
        if (connection_ != nullptr) {
            if (registration_ != 0) g_dbus_connection_unregister_object(connection_, registration_);
            g_dbus_connection_close_sync(connection_, nullptr, nullptr);
            g_object_unref(connection_);
        }
        g_main_loop_unref(loop_);
        g_main_context_unref(context_);
    }
    PrivateBusService(const PrivateBusService&) = delete;
    PrivateBusService& operator=(const PrivateBusService&) = delete;

    bool owned() const { return owned_; }
    /// Null when the bus did not answer.
    GDBusConnection* connection() const { return connection_; }

private:
    static void handle(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                       const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                       gpointer self) {
        static_cast<PrivateBusService*>(self)->handler_(method, parameters, invocation);
    }

    Handler handler_;
    bool owned_ = false;
    GMainContext* context_ = nullptr;
    GMainLoop* loop_ = nullptr;
    GDBusConnection* connection_ = nullptr;
    guint registration_ = 0;
    std::thread thread_;
};

} // namespace ulmaro::test
