#include "UlmaroAppKit/Platform/SmallFile.h"

#include "UlmaroKit/Platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace ulmaro {
namespace {

SmallFile::Result refused(std::string problem) {
    return {SmallFile::Status::refused, {}, std::move(problem)};
}

SmallFile::Result unreadable() {
    return {SmallFile::Status::unreadable, {}, std::generic_category().message(errno)};
}

} // namespace

SmallFile::Result SmallFile::read(const std::filesystem::path& path, std::uint64_t maxBytes) {
    auto tooLarge = [&] { return refused("larger than " + std::to_string(maxBytes) + " bytes"); };
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        if (errno == ENOENT || errno == ENOTDIR) return {};
        return unreadable();
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return unreadable();
    if (!S_ISREG(st.st_mode)) return refused("not a regular file");
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) return tooLarge();

    // One byte more than the file's size, so that growth shows.
    std::string bytes(static_cast<std::size_t>(st.st_size) + 1, '\0');
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() > maxBytes) return tooLarge();
            bytes.resize(std::min<std::uint64_t>(bytes.size() * 2, maxBytes + 1));
        }
        ssize_t n = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (n < 0) {
            if (errno == EINTR) continue;
            return unreadable();
        }
        if (n == 0) break;
        filled += static_cast<std::size_t>(n);
    }
    bytes.resize(filled);
    return {Status::read, std::move(bytes), {}};
}

} // namespace ulmaro
