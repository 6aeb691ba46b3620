#include "UlmaroKit/Content/DocumentBytes.h"

#include "UlmaroKit/Platform/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ulmaro {

UniqueFd openRegularFile(const std::filesystem::path& path, std::uint64_t& size) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    if (!fd) return fd;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return UniqueFd();
    size = static_cast<std::uint64_t>(st.st_size);
    return fd;
}

std::optional<std::size_t> readUpTo(int fd, char* into, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        ssize_t got = ::read(fd, into + done, length - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::optional<DocumentBytes> DocumentBytes::open(const std::filesystem::path& path,
                                                 std::uint64_t maxSize) noexcept {
    try {
        std::uint64_t size = 0;
        UniqueFd fd = openRegularFile(path, size);
        if (!fd || size > maxSize) return std::nullopt;
        DocumentBytes document;
        if (size > readLimit) {
            MappedFile::Options options;
            options.followSymlinks = false;
            options.maxSize = maxSize;
            document.mapped_ = MappedFile::tryOpen(path, options);
            if (!document.mapped_) return std::nullopt;
            return document;
        }
        // What fstat promised and no more, even if the file grows meanwhile.
        document.owned_.resize(static_cast<std::size_t>(size));
        auto length = readUpTo(fd.get(), document.owned_.data(), document.owned_.size());
        if (!length) return std::nullopt;
        document.owned_.resize(*length);
        return document;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace ulmaro
