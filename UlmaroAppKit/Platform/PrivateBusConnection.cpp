#include "UlmaroAppKit/Platform/PrivateBusConnection.h"

namespace ulmaro {

GDBusConnection* connectPrivately(GBusType type, const std::string& address,
                                  GCancellable* cancellable) {
    gchar* at = address.empty() ? g_dbus_address_get_for_bus_sync(type, cancellable, nullptr)
                                : g_strdup(address.c_str());
    if (at == nullptr) return nullptr;
    const auto flags =
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
    GDBusConnection* connection =
        g_dbus_connection_new_for_address_sync(at, flags, nullptr, cancellable, nullptr);
    g_free(at);
    if (connection != nullptr) g_dbus_connection_set_exit_on_close(connection, FALSE);
    return connection;
}

} // namespace ulmaro
