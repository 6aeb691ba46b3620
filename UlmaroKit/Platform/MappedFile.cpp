#include "UlmaroKit/Platform/MappedFile.h"

#include "UlmaroKit/Platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace ulmaro {

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        reset();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

MappedFile::~MappedFile() {
    reset();
}

void MappedFile::reset() noexcept {
    if (data_ != nullptr) ::munmap(const_cast<unsigned char*>(data_), size_);
    data_ = nullptr;
    size_ = 0;
}

MappedFile MappedFile::open(const std::filesystem::path& path, Options options) {
    auto fail = [&](int code) -> MappedFile {
        throw std::system_error(code, std::generic_category(), path.string());
    };
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    if (!options.followSymlinks) flags |= O_NOFOLLOW;
    UniqueFd fd(::open(path.c_str(), flags));
    if (!fd) return fail(errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return fail(errno);
    if (options.requireRegular && !S_ISREG(st.st_mode)) return fail(EINVAL);
    auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > options.maxSize) return fail(EFBIG);
    if (size == 0) return MappedFile();
    int mapFlags = MAP_PRIVATE | (options.populate ? MAP_POPULATE : 0);
    void* p = ::mmap(nullptr, size, PROT_READ, mapFlags, fd.get(), 0);
    if (p == MAP_FAILED) return fail(errno);
    return MappedFile(static_cast<const unsigned char*>(p), size);
}

void MappedFile::faultIn(std::size_t offset, std::size_t length) const {
    if (offset >= size_) return;
    length = std::min(length, size_ - offset);
    static const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t first = offset / page * page;
    auto* start = const_cast<unsigned char*>(data_) + first;
    const std::size_t span = offset + length - first;
    // Where the kernel lacks it (before 5.14), the reads below fault the pages in. They are
    // worth doing anyway: on virtual machines the first touch of a page can cost a fault of
    // its own in the hypervisor, which is better taken here than by the reader.
    ::madvise(start, span, MADV_POPULATE_READ);
    for (std::size_t at = 0; at < span; at += page)
        static_cast<void>(*static_cast<volatile const unsigned char*>(start + at));
}

std::optional<MappedFile> MappedFile::tryOpen(const std::filesystem::path& path,
                                              Options options) noexcept {
    try {
        return open(path, options);
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace ulmaro
