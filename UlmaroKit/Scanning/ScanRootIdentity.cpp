#include "UlmaroKit/Scanning/ScanRootIdentity.h"

#include "UlmaroKit/Platform/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>

namespace ulmaro {

ScanRootIdentity ScanRootIdentity::of(const std::string& root) {
    UniqueFd fd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0)
        throw std::system_error(errno, std::generic_category(), root);
    return {st.st_dev, st.st_ino};
}

int ScanRootIdentity::recheck(const std::string& root) const {
    // Opened, not just looked up: a file system shut down under us (its drive unplugged)
    // still answers for cached inodes, but refuses to open them.
    UniqueFd fd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) return errno;
    if (st.st_dev != device || st.st_ino != inode) return ENODEV;
    return 0;
}

void ScanRootIdentity::verify(const std::string& root) const {
    if (int error = recheck(root); error != 0)
        throw std::system_error(error, std::generic_category(), root);
}

} // namespace ulmaro
