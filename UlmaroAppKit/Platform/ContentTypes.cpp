#include "UlmaroAppKit/Platform/ContentTypes.h"

#include <gio/gio.h>

namespace ulmaro {

std::shared_ptr<ContentTypes> ContentTypes::make(std::shared_ptr<SerialQueue> queue,
                                                 Examine examine) {
    return std::make_shared<ContentTypes>(Passkey{}, std::move(queue), std::move(examine));
}

ContentTypes::ContentTypes(Passkey, std::shared_ptr<SerialQueue> queue, Examine examine)
    : queue_(std::move(queue)), examine_(std::move(examine)) {}

std::string ContentTypes::fromName(const std::string& path, bool& settled) {
    gboolean uncertain = TRUE;
    gchar* guessed = g_content_type_guess(path.c_str(), nullptr, 0, &uncertain);
    std::string type = guessed != nullptr ? guessed : "";
    g_free(guessed);
    settled = uncertain == FALSE;
    return type;
}

std::string ContentTypes::fromFile(const std::string& path) {
    GFile* file = g_file_new_for_path(path.c_str());
    GFileInfo* info = g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                        G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
    g_object_unref(file);
    std::string type;
    if (info != nullptr) {
        if (const char* known = g_file_info_get_content_type(info)) type = known;
        g_object_unref(info);
    }
    bool settled = false;
    return type.empty() ? fromName(path, settled) : type;
}

std::string ContentTypes::of(const std::string& path) {
    bool settled = false;
    std::string guess = fromName(path, settled);
    if (settled) return guess;
    {
        std::lock_guard lock(mutex_);
        if (const auto found = examined_.find(path); found != examined_.end())
            return found->second.value_or(guess);
        if (examined_.size() >= capacity)
            std::erase_if(examined_, [](const auto& entry) { return entry.second.has_value(); });
        examined_.emplace(path, std::nullopt);
    }
    queue_->async([weak = weak_from_this(), path] {
        const std::shared_ptr<ContentTypes> self = weak.lock();
        if (!self) return;
        std::string type = self->examine_(path);
        std::lock_guard lock(self->mutex_);
        self->examined_.insert_or_assign(path, std::move(type));
    });
    return guess;
}

} // namespace ulmaro
