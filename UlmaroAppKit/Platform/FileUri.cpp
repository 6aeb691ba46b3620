#include "UlmaroAppKit/Platform/FileUri.h"

#include <glib.h>

namespace ulmaro {

std::optional<std::string> fileUri(std::string_view path) {
    const std::string bytes(path);
    if (bytes.empty() || bytes.front() != '/' || bytes.find('\0') != std::string::npos)
        return std::nullopt;
    gchar* uri = g_filename_to_uri(bytes.c_str(), nullptr, nullptr);
    if (uri == nullptr) return std::nullopt;
    std::string result(uri);
    g_free(uri);
    return result;
}

} // namespace ulmaro
