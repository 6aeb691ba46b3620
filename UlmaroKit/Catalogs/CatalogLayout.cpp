#include "UlmaroKit/Catalogs/CatalogLayout.h"

#include "UlmaroKit/Platform/DataLocations.h"
#include "UlmaroKit/Platform/UniqueFd.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <sys/stat.h>

namespace ulmaro {

std::filesystem::path CatalogLayout::defaultRoot() {
    return DataLocations::catalogsDirectory();
}

CatalogLayout CatalogLayout::forIndex(const std::filesystem::path& indexPath) {
    if (indexPath.native() == DataLocations::indexPath().native())
        return CatalogLayout(defaultRoot());
    return CatalogLayout(indexPath.native() + ".catalogs");
}

bool CatalogLayout::isValidID(std::string_view id) {
    return !id.empty() && id != "." && id != ".." && id.find('/') == std::string_view::npos &&
           id.find('\0') == std::string_view::npos;
}

std::filesystem::path CatalogLayout::directory(std::string_view id) const {
    if (!isValidID(id)) throw std::invalid_argument("not a catalog ID");
    return root_ / std::string(id);
}

std::vector<std::string> CatalogLayout::catalogIDs() const {
    std::vector<std::string> ids;
    UniqueFd rootFd(::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!rootFd) return ids;
    // fdopendir takes the descriptor over.
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(rootFd.get()), ::closedir);
    if (!dir) return ids;
    int fd = rootFd.release();
    while (dirent* entry = ::readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (!isValidID(name)) continue;
        std::string info = std::string(name) + "/info.json";
        struct stat st;
        if (::fstatat(fd, info.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) ids.emplace_back(name);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace ulmaro
