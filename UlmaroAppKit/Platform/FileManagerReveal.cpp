#include "UlmaroAppKit/Platform/FileManagerReveal.h"

#include "UlmaroAppKit/Platform/FileUri.h"
#include "UlmaroAppKit/Platform/PrivateBusConnection.h"

#include <algorithm>
#include <gio/gio.h>

namespace ulmaro {
namespace {

bool showItems(const std::vector<std::string>& uris) {
    GDBusConnection* connection = connectPrivately(G_BUS_TYPE_SESSION);
    if (connection == nullptr) return false;
    GVariantBuilder items;
    g_variant_builder_init(&items, G_VARIANT_TYPE("as"));
    for (const auto& uri : uris)
        g_variant_builder_add(&items, "s", uri.c_str());
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        connection, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
        "org.freedesktop.FileManager1", "ShowItems", g_variant_new("(ass)", &items, ""), nullptr,
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
    if (reply != nullptr) g_variant_unref(reply);
    if (error != nullptr) g_error_free(error);
    g_dbus_connection_close_sync(connection, nullptr, nullptr);
    g_object_unref(connection);
    return reply != nullptr;
}

void openFolders(const std::vector<std::string>& folders) {
    GAppInfo* handler = g_app_info_get_default_for_type("inode/directory", FALSE);
    if (handler == nullptr) return;
    for (const auto& folder : folders) {
        auto uri = fileUri(folder);
        if (!uri) continue;
        GList one{uri->data(), nullptr, nullptr};
        GError* error = nullptr;
        g_app_info_launch_uris(handler, &one, nullptr, &error);
        if (error != nullptr) g_error_free(error);
    }
    g_object_unref(handler);
}

} // namespace

std::vector<std::string> distinctParentFolders(const std::vector<std::string>& paths) {
    std::vector<std::string> folders;
    for (const auto& path : paths) {
        std::string_view trimmed = path;
        while (trimmed.size() > 1 && trimmed.back() == '/')
            trimmed.remove_suffix(1);
        const auto slash = trimmed.rfind('/');
        if (slash == std::string_view::npos) continue;
        std::string folder(trimmed.substr(0, slash == 0 ? 1 : slash));
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(std::move(folder));
    }
    return folders;
}

void revealInFileManager(const std::vector<std::string>& paths) {
    std::vector<std::string> uris;
    for (const auto& path : paths)
        if (auto uri = fileUri(path)) uris.push_back(std::move(*uri));
    if (uris.empty()) return;
    if (showItems(uris)) return;
    openFolders(distinctParentFolders(paths));
}

} // namespace ulmaro
