#include "UlmaroAppKit/Indexing/ScanMarker.h"

#include "UlmaroKit/Platform/UniqueFd.h"

#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace ulmaro::ScanMarker {

std::filesystem::path path(const std::filesystem::path& indexPath) {
    std::filesystem::path marker = indexPath;
    marker += ".inprogress";
    return marker;
}

void create(const std::filesystem::path& indexPath) {
    std::error_code ignored;
    if (indexPath.has_parent_path())
        std::filesystem::create_directories(indexPath.parent_path(), ignored);
    UniqueFd fd(::open(path(indexPath).c_str(),
                       O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644));
}

void remove(const std::filesystem::path& indexPath) {
    ::unlink(path(indexPath).c_str());
}

} // namespace ulmaro::ScanMarker
