#include "UlmaroAppKit/Shell/SingleInstance.h"

#include "UlmaroKit/Platform/DataLocations.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ulmaro {

std::filesystem::path SingleInstance::runtimeFolder() {
    return DataLocations::runtimeDirectory();
}

bool SingleInstance::prepareRuntimeFolder(const std::filesystem::path& folder, std::string* why) {
    std::error_code ec;
    std::filesystem::create_directories(folder.parent_path(), ec);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        if (why) *why = std::string("cannot create it: ") + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
        if (why) *why = std::string("cannot read it: ") + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        if (why) *why = S_ISLNK(st.st_mode) ? "it is a symbolic link" : "it is not a folder";
        return false;
    }
    if (st.st_uid != ::geteuid()) {
        if (why) *why = "it belongs to another user";
        return false;
    }
    if ((st.st_mode & 07777) != 0700) {
        if (why) *why = "others may use it (its mode is not 0700)";
        return false;
    }
    return true;
}

SingleInstance::Lock SingleInstance::tryLock(const std::filesystem::path& lockPath) {
    std::error_code ec;
    std::filesystem::create_directories(lockPath.parent_path(), ec);
    UniqueFd fd(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!fd)
        return {Outcome::failed, UniqueFd(),
                "cannot open the lock file " + lockPath.string() + ": " + std::strerror(errno)};
    int rc;
    do {
        rc = ::flock(fd.get(), LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) return {Outcome::primary, std::move(fd)};
    if (errno == EWOULDBLOCK) return {Outcome::secondary, std::move(fd)};
    return {Outcome::failed, std::move(fd),
            "cannot lock " + lockPath.string() + ": " + std::strerror(errno)};
}

SingleInstance::Lock SingleInstance::acquire(const std::filesystem::path& lockPath) {
    // Descriptors live until the process ends: the lock must outlast every caller.
    static std::mutex mutex;
    static std::vector<int>* held = new std::vector<int>();
    Lock lock = tryLock(lockPath);
    if (lock.descriptor) {
        std::lock_guard guard(mutex);
        held->push_back(lock.descriptor.release());
    }
    return lock;
}

SingleInstance::Role SingleInstance::claim(const std::filesystem::path& runtimeFolder) {
    std::string why;
    if (!prepareRuntimeFolder(runtimeFolder, &why)) {
        std::fprintf(stderr,
                     "Ulmaro: not using %s: %s; running without single-instance protection.\n",
                     runtimeFolder.c_str(), why.c_str());
        return {Outcome::primary, false};
    }
    Lock lock = acquire(lockPath(runtimeFolder));
    return {lock.outcome, true, std::move(lock.problem)};
}

} // namespace ulmaro
