#include "UlmaroKit/Platform/AtomicFile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace ulmaro {
namespace {

[[noreturn]] void throwErrno(const std::filesystem::path& path) {
    throw std::system_error(errno, std::generic_category(), path.string());
}

// A name of the writer's own, so that two writers of one destination (two processes, say)
// never write into the same sibling: each rename then installs a whole file.
std::string uniqueTag() {
    std::uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits))
        bits = std::random_device{}() ^ (static_cast<std::uint64_t>(::getpid()) << 32);
    static constexpr char hex[] = "0123456789abcdef";
    std::string tag(12, '0');
    for (char& c : tag) {
        c = hex[bits & 15];
        bits >>= 4;
    }
    return tag;
}

} // namespace

AtomicFileWriter::AtomicFileWriter(std::filesystem::path destination, std::string_view tempSuffix,
                                   Durability durability)
    : destination_(std::move(destination)), durability_(durability) {
    if (destination_.has_parent_path())
        std::filesystem::create_directories(destination_.parent_path());
    for (int attempt = 0;; ++attempt) {
        temporary_ = destination_;
        temporary_ += std::string(tempSuffix) + "." + uniqueTag();
        fd_.reset(::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
        if (fd_) break;
        if (errno != EEXIST || attempt == 16) throwErrno(temporary_);
    }
    // Held until the descriptor closes: a sibling nobody holds was left by a writer that died.
    ::flock(fd_.get(), LOCK_EX | LOCK_NB);
}

AtomicFileWriter::~AtomicFileWriter() {
    if (!committed_) {
        fd_.reset();
        ::unlink(temporary_.c_str());
    }
}

void AtomicFileWriter::write(std::span<const unsigned char> bytes) {
    const unsigned char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd_.get(), p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            throwErrno(temporary_);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

void AtomicFileWriter::write(std::string_view bytes) {
    write(std::span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
}

void AtomicFileWriter::commit() {
    const bool synced = durability_ == Durability::synced;
    if (synced && ::fsync(fd_.get()) != 0) throwErrno(temporary_);
    if (::close(fd_.release()) != 0) throwErrno(temporary_);
    if (!synced && swapIntoPlace()) {
        committed_ = true;
        return;
    }
    if (::rename(temporary_.c_str(), destination_.c_str()) != 0) throwErrno(destination_);
    committed_ = true;
    if (synced)
        syncDirectory(destination_.has_parent_path() ? destination_.parent_path()
                                                     : std::filesystem::path("."));
}

// ext4 (auto_da_alloc) writes a file's data out when it is renamed over another, which
// costs an unsynced replacement most of an fsync. Swapping the two names is just as atomic
// for readers and skips that; the old file, now under the temporary name, then goes.
bool AtomicFileWriter::swapIntoPlace() {
    // Only a file is swapped out: anything else stays for rename to refuse or replace.
    struct stat st;
    if (::lstat(destination_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, destination_.c_str(),
                    RENAME_EXCHANGE) != 0)
        return false; // a file system without exchange
    ::unlink(temporary_.c_str());
    return true;
}

void writeFileAtomically(const std::filesystem::path& destination, std::string_view contents) {
    AtomicFileWriter writer(destination);
    writer.write(contents);
    writer.commit();
}

bool isWriterSibling(std::string_view name) {
    constexpr std::string_view marker = ".tmp.";
    constexpr std::size_t tagLength = 12;
    if (name.size() <= marker.size() + tagLength) return false;
    const std::string_view tag = name.substr(name.size() - tagLength);
    return name.substr(name.size() - tagLength - marker.size(), marker.size()) == marker &&
           tag.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

std::size_t removeLeftoverTemporaries(const std::filesystem::path& folder,
                                      std::chrono::seconds minimumAge) {
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir) return 0;
    DIR* listing = ::fdopendir(::dup(dir.get()));
    if (listing == nullptr) return 0;
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(listing))
        if (isWriterSibling(entry->d_name)) candidates.emplace_back(entry->d_name);
    ::closedir(listing);

    const auto now = std::chrono::system_clock::now().time_since_epoch();
    std::size_t removed = 0;
    for (const std::string& name : candidates) {
        UniqueFd fd(
            ::openat(dir.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        // A writer takes its lock just after creating the file: a young one may be between.
        const auto age = now - std::chrono::seconds(st.st_mtim.tv_sec);
        if (age < minimumAge) continue;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue; // a live writer's
        if (::unlinkat(dir.get(), name.c_str(), 0) == 0) ++removed;
    }
    return removed;
}

void syncDirectory(const std::filesystem::path& directory) {
    UniqueFd fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) throwErrno(directory);
    if (::fsync(fd.get()) != 0 && errno != EINVAL) throwErrno(directory);
}

} // namespace ulmaro
