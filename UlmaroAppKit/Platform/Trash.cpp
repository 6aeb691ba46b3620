#include "UlmaroAppKit/Platform/Trash.h"

#include <gio/gio.h>

namespace ulmaro {

bool moveToTrash(const std::filesystem::path& path) {
    GFile* file = g_file_new_for_path(path.c_str());
    GError* error = nullptr;
    const gboolean moved = g_file_trash(file, nullptr, &error);
    if (error != nullptr) g_error_free(error);
    g_object_unref(file);
    return moved != FALSE;
}

} // namespace ulmaro
