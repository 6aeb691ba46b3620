#include "UlmaroAppKit/Platform/DesktopApplications.h"

#include "UlmaroAppKit/Platform/FileUri.h"

#include <algorithm>
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

namespace ulmaro {
namespace {

std::optional<std::string> desktopFile(GAppInfo* app) {
    if (app == nullptr || !G_IS_DESKTOP_APP_INFO(app)) return std::nullopt;
    const char* file = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(app));
    if (file == nullptr) return std::nullopt;
    return std::string(file);
}

} // namespace

std::vector<std::string> withDefaultFirst(std::vector<std::string> applications,
                                          const std::optional<std::string>& defaultApplication) {
    if (!defaultApplication) return applications;
    auto found = std::find(applications.begin(), applications.end(), *defaultApplication);
    if (found != applications.end()) std::rotate(applications.begin(), found, found + 1);
    return applications;
}

std::vector<std::string> applicationsForContentType(const std::string& type) {
    std::vector<std::string> applications;
    GList* all = g_app_info_get_all_for_type(type.c_str());
    for (GList* item = all; item != nullptr; item = item->next)
        if (auto file = desktopFile(G_APP_INFO(item->data))) applications.push_back(*file);
    g_list_free_full(all, g_object_unref);
    GAppInfo* defaultApp = g_app_info_get_default_for_type(type.c_str(), FALSE);
    auto defaultFile = desktopFile(defaultApp);
    if (defaultApp != nullptr) g_object_unref(defaultApp);
    return withDefaultFirst(std::move(applications), defaultFile);
}

bool openWithApplication(const std::vector<std::string>& paths, const std::string& application) {
    GDesktopAppInfo* app = g_desktop_app_info_new_from_filename(application.c_str());
    if (app == nullptr) return false;
    std::vector<std::string> uris;
    for (const auto& path : paths)
        if (auto uri = fileUri(path)) uris.push_back(std::move(*uri));
    GList* list = nullptr;
    for (auto it = uris.rbegin(); it != uris.rend(); ++it)
        list = g_list_prepend(list, it->data());
    GError* error = nullptr;
    const bool launched = g_app_info_launch_uris(G_APP_INFO(app), list, nullptr, &error) != FALSE;
    if (error != nullptr) g_error_free(error);
    g_list_free(list);
    g_object_unref(app);
    return launched;
}

} // namespace ulmaro
