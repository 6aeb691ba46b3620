#include "UlmaroAppKit/Indexing/WatchCheckpointStore.h"

#include "UlmaroKit/Platform/AtomicFile.h"
#include "UlmaroKit/Platform/MappedFile.h"

#include <nlohmann/json.hpp>
#include <system_error>

namespace ulmaro::WatchCheckpointStore {
namespace {
// The file holds two short members; anything larger is not ours.
constexpr std::uint64_t maxFileSize = 64 * 1024;
} // namespace

std::filesystem::path defaultURL(const std::filesystem::path& indexPath) {
    auto path = indexPath;
    path.replace_filename("watch-checkpoint.json");
    return path;
}

std::optional<WatchCheckpoint> load(const std::filesystem::path& path) {
    MappedFile::Options options;
    options.maxSize = maxFileSize;
    auto file = MappedFile::tryOpen(path, options);
    if (!file) return std::nullopt;
    auto object = nlohmann::json::parse(file->view(), nullptr, /*allow_exceptions=*/false);
    if (!object.is_object()) return std::nullopt;
    auto eventID = object.find("eventID");
    auto deviceUUID = object.find("deviceUUID");
    if (eventID == object.end() || !eventID->is_number_unsigned()) return std::nullopt;
    if (deviceUUID == object.end() || !deviceUUID->is_string()) return std::nullopt;
    return WatchCheckpoint{eventID->get<std::uint64_t>(), deviceUUID->get<std::string>()};
}

void save(const WatchCheckpoint& checkpoint, const std::filesystem::path& path) {
    std::string text;
    try {
        nlohmann::ordered_json object;
        object["eventID"] = checkpoint.eventID;
        object["deviceUUID"] = checkpoint.deviceUUID;
        text = object.dump();
    } catch (const nlohmann::json::exception&) {
        return;
    }
    std::error_code ignored;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
    try {
        writeFileAtomically(path, text);
    } catch (const std::exception&) {
    }
}

std::optional<std::uint64_t> resumeEventID(const std::optional<WatchCheckpoint>& checkpoint,
                                           const std::optional<std::string>& currentDeviceUUID) {
    if (!checkpoint || !currentDeviceUUID) return std::nullopt;
    if (checkpoint->deviceUUID != *currentDeviceUUID) return std::nullopt;
    return checkpoint->eventID;
}

} // namespace ulmaro::WatchCheckpointStore
