#include "UlmaroAppKit/Indexing/CloudFolders.h"

#include "UlmaroKit/Platform/Utf8.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <sys/stat.h>
#include <unordered_set>
#include <utility>

namespace ulmaro::CloudFolders {
namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 7> serviceNames{{
    {"Dropbox", "Dropbox"},
    {"GoogleDrive", "Google Drive"},
    {"OneDrive", "OneDrive"},
    {"iCloudDrive", "iCloud Drive"},
    {"Box", "Box"},
    {"pCloud", "pCloud"},
    {"ProtonDrive", "Proton Drive"},
}};

std::string_view readableService(std::string_view service) {
    for (const auto& [prefix, readable] : serviceNames)
        if (prefix == service) return readable;
    return service;
}

bool isFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view marks = " ()-_";
    const auto first = text.find_first_not_of(marks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(marks) - first + 1);
}

} // namespace

std::vector<Folder> detected(std::string_view home) {
    std::vector<Folder> found;
    std::unordered_set<std::string> taken;
    auto take = [&](std::string name, std::string path) {
        if (isFolder(path) && taken.insert(path).second)
            found.push_back({std::move(name), std::move(path)});
    };

    const std::string storage = std::string(home) + "/Library/CloudStorage";
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(storage, error), end; !error && it != end;
         it.increment(error))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        if (!name.starts_with('.')) take(displayName(repairUtf8(name)), storage + "/" + name);

    for (std::string_view name : {"Dropbox", "Google Drive", "OneDrive"})
        take(std::string(name), std::string(home) + "/" + std::string(name));
    take("iCloud Drive", std::string(home) + "/Library/Mobile Documents/com~apple~CloudDocs");
    return found;
}

std::string displayName(std::string_view folderName) {
    const auto dash = folderName.find('-');
    if (dash == std::string_view::npos) return std::string(readableService(folderName));
    const std::string_view service = folderName.substr(0, dash);
    std::string_view account = folderName.substr(dash + 1);
    if (account.starts_with(service)) account.remove_prefix(service.size());
    account = trimmed(account);
    std::string readable(readableService(service));
    if (account.empty()) return readable;
    return readable + " (" + std::string(account) + ")";
}

} // namespace ulmaro::CloudFolders
