#include "UlmaroKit/Catalogs/CatalogArchive.h"

#include "UlmaroKit/Catalogs/CatalogError.h"
#include "UlmaroKit/Catalogs/CatalogLayout.h"
#include "UlmaroKit/Index/FileRecord.h"
#include "UlmaroKit/Index/IndexError.h"
#include "UlmaroKit/Index/IndexHeader.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/PathResolver.h"
#include "UlmaroKit/Platform/AtomicFile.h"
#include "UlmaroKit/Platform/DataLocations.h"
#include "UlmaroKit/Platform/UniqueFd.h"
#include "UlmaroKit/Platform/Uuid.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>
#include <zip.h>

namespace ulmaro {
namespace {

using ArchiveError = CatalogArchive::ArchiveError;
namespace fs = std::filesystem;

constexpr std::string_view kIndexName = "index.bin";
constexpr std::string_view kInfoName = "info.json";
// The largest file an index can be: a full header, 2^32 − 1 records and blob bytes.
constexpr std::uint64_t kMaxIndexBytes = 4096 + 25ull * 0xFFFFFFFFull;
// What an import leaves free on the disk it unpacks to, whatever the archive declares.
constexpr std::uint64_t kFreeSpaceReserve = 256ull << 20;

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipCloser>;

struct ZipFileCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};

// Removes a temporary item when the scope ends, unless released.
class TemporaryItem {
public:
    explicit TemporaryItem(fs::path path) : path_(std::move(path)) {}
    ~TemporaryItem() {
        if (path_.empty()) return;
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TemporaryItem(const TemporaryItem&) = delete;
    TemporaryItem& operator=(const TemporaryItem&) = delete;
    const fs::path& path() const { return path_; }
    void release() { path_.clear(); }

private:
    fs::path path_;
};

std::string_view strippingDotSlash(std::string_view name) {
    return name.starts_with("./") ? name.substr(2) : name;
}

bool isTheTwoMembers(const std::vector<std::string>& names) {
    if (names.size() != 2) return false;
    std::set<std::string_view> set;
    for (const auto& n : names)
        set.insert(strippingDotSlash(n));
    return set == std::set<std::string_view>{kIndexName, kInfoName};
}

ZipHandle openArchive(const fs::path& archive) {
    // An archive picked by the user may be a link; it must still be a regular file.
    UniqueFd fd(::open(archive.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) throw std::system_error(errno, std::generic_category(), archive.string());
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw ArchiveError::toolFailed("not a regular file");
    int error = 0;
    zip_t* z = zip_fdopen(fd.get(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (z == nullptr) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        std::string message = zip_error_strerror(&e);
        zip_error_fini(&e);
        throw ArchiveError::toolFailed(message);
    }
    fd.release(); // the archive owns it now
    return ZipHandle(z);
}

// A member is a plain file unless a Unix file type stored with it says otherwise.
bool isRegularMember(zip_t* z, zip_uint64_t index) {
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(z, index, 0, &system, &attributes) != 0) return false;
    if (system != ZIP_OPSYS_UNIX) return true;
    const auto mode = static_cast<mode_t>(attributes >> 16);
    return (mode & S_IFMT) == 0 || S_ISREG(mode);
}

std::uint64_t freeBytes(const fs::path& folder) {
    struct statvfs s {};
    if (::statvfs(folder.c_str(), &s) != 0) return 0;
    return static_cast<std::uint64_t>(s.f_bavail) * s.f_frsize;
}

// Copies one member out, never writing more than it declared.
void extractMember(zip_t* z, zip_uint64_t index, std::uint64_t declared, const fs::path& target) {
    std::unique_ptr<zip_file_t, ZipFileCloser> in(zip_fopen_index(z, index, 0));
    if (!in) throw ArchiveError::toolFailed(zip_strerror(z));
    UniqueFd out(
        ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!out) throw std::system_error(errno, std::generic_category(), target.string());
    std::vector<char> buffer(1 << 20);
    std::uint64_t written = 0;
    for (;;) {
        zip_int64_t n = zip_fread(in.get(), buffer.data(), buffer.size());
        if (n < 0) throw ArchiveError::toolFailed(zip_file_strerror(in.get()));
        if (n == 0) break;
        written += static_cast<std::uint64_t>(n);
        if (written > declared) throw ArchiveError::notACatalog();
        const char* p = buffer.data();
        for (auto left = static_cast<std::size_t>(n); left > 0;) {
            ssize_t w = ::write(out.get(), p, left);
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) throw std::system_error(errno, std::generic_category(), target.string());
            p += w;
            left -= static_cast<std::size_t>(w);
        }
    }
    if (written != declared) throw ArchiveError::notACatalog();
}

// The size an index member must have: what its own header declares. Only the header is
// inflated to learn it; an index that cannot be read that far is damaged.
std::uint64_t declaredIndexBytes(zip_t* z, zip_uint64_t index) {
    std::unique_ptr<zip_file_t, ZipFileCloser> in(zip_fopen_index(z, index, 0));
    if (!in) throw ArchiveError::toolFailed(zip_strerror(z));
    std::array<unsigned char, IndexHeader::byteSize> bytes{};
    std::size_t got = 0;
    while (got < bytes.size()) {
        zip_int64_t n = zip_fread(in.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0) throw ArchiveError::toolFailed(zip_file_strerror(in.get()));
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    try {
        const IndexHeader header = IndexHeader::decode(std::span(bytes.data(), got));
        return IndexHeader::byteSize + std::uint64_t{header.recordCount} * sizeof(FileRecord) +
               header.nameBlobLength;
    } catch (const IndexError&) {
        throw ArchiveError::damagedIndex();
    }
}

std::vector<std::string_view> splitKeepingEmpty(std::string_view s) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t slash = s.find('/', start);
        parts.push_back(s.substr(start, slash == std::string_view::npos ? s.npos : slash - start));
        if (slash == std::string_view::npos) return parts;
        start = slash + 1;
    }
}

bool hasDotDot(std::string_view path) {
    auto parts = splitKeepingEmpty(path);
    return std::find(parts.begin(), parts.end(), "..") != parts.end();
}

// A name some file system could hold. Linux names may hold a line feed (our own scans
// record such names); the Windows names of an EFU list may not.
bool isPlainName(std::string_view name, bool efu) {
    if (name.empty() || name == "." || name == "..") return false;
    if (name.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) return false;
    return !efu || name.find('\n') == std::string_view::npos;
}

} // namespace

const char* CatalogArchive::ArchiveError::what() const noexcept {
    switch (kind_) {
    case Kind::unsupportedFormat:
        return "catalog archive of an unsupported format";
    case Kind::toolFailed:
        return message_.c_str();
    case Kind::notACatalog:
        return "not a catalog archive";
    case Kind::damagedIndex:
        return "catalog archive holds a damaged index";
    }
    return "catalog archive error";
}

fs::path CatalogArchive::defaultTemporaryRoot() {
    return DataLocations::dataDirectory() / "Temporary";
}

void CatalogArchive::zipFolder(const fs::path& source, const fs::path& archive) {
    int error = 0;
    zip_t* raw = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (raw == nullptr) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        std::string message = zip_error_strerror(&e);
        zip_error_fini(&e);
        throw ArchiveError::toolFailed(message);
    }
    ZipHandle z(raw);
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(source))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        zip_source_t* src = zip_source_file_create(file.c_str(), 0, -1, nullptr);
        if (src == nullptr) throw ArchiveError::toolFailed(zip_strerror(z.get()));
        if (zip_file_add(z.get(), file.filename().c_str(), src, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(src);
            throw ArchiveError::toolFailed(zip_strerror(z.get()));
        }
    }
    if (zip_close(z.get()) != 0) throw ArchiveError::toolFailed(zip_strerror(z.get()));
    z.release(); // closed
}

void CatalogArchive::exportCatalog(const fs::path& catalogDirectory, const fs::path& destination) {
    exportCatalog(catalogDirectory, destination, zipFolder);
}

void CatalogArchive::exportCatalog(const fs::path& catalogDirectory, const fs::path& destination,
                                   const Zip& zip) {
    fs::path stagingPath = defaultTemporaryRoot() / ("catalog-export-" + uuidString());
    fs::create_directories(stagingPath);
    TemporaryItem staging(stagingPath);
    // Copies give the archive one consistent snapshot even if the catalog is rescanned.
    for (auto name : {kIndexName, kInfoName})
        fs::copy_file(catalogDirectory / name, stagingPath / name);

    // Built beside the destination, so that putting it in place is one rename.
    std::string temporaryName = ".";
    temporaryName += destination.filename().string();
    temporaryName += '.';
    temporaryName += uuidString();
    temporaryName += ".tmp";
    fs::path temporary = destination.parent_path() / temporaryName;
    TemporaryItem archive(temporary);
    zip(stagingPath, temporary);
    {
        UniqueFd fd(::open(temporary.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd || ::fsync(fd.get()) != 0)
            throw std::system_error(errno, std::generic_category(), temporary.string());
    }
    fs::rename(temporary, destination);
    archive.release();
    syncDirectory(destination.has_parent_path() ? destination.parent_path() : fs::path("."));
}

std::vector<std::string> CatalogArchive::listEntries(const fs::path& archive) {
    ZipHandle z = openArchive(archive);
    std::vector<std::string> names;
    zip_int64_t count = zip_get_num_entries(z.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(z.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        if (name == nullptr) throw ArchiveError::toolFailed(zip_strerror(z.get()));
        names.emplace_back(name);
    }
    return names;
}

CatalogArchive::Unpacked CatalogArchive::unpack(const fs::path& archive) {
    return unpack(archive, defaultTemporaryRoot());
}

CatalogArchive::Unpacked CatalogArchive::unpack(const fs::path& archive,
                                                const fs::path& temporaryRoot) {
    fs::path folder = temporaryRoot / ("catalog-import-" + uuidString());
    fs::create_directories(folder);
    TemporaryItem cleanup(folder);

    ZipHandle z;
    try {
        z = openArchive(archive);
    } catch (const ArchiveError&) {
        throw ArchiveError::notACatalog();
    }
    zip_int64_t count = zip_get_num_entries(z.get(), 0);
    std::vector<std::string> names;
    std::vector<zip_stat_t> stats(static_cast<std::size_t>(std::max<zip_int64_t>(count, 0)));
    for (zip_int64_t i = 0; i < count; ++i) {
        auto& st = stats[static_cast<std::size_t>(i)];
        if (zip_stat_index(z.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &st) != 0 ||
            !(st.valid & ZIP_STAT_NAME) || !(st.valid & ZIP_STAT_SIZE))
            throw ArchiveError::notACatalog();
        names.emplace_back(st.name);
    }
    if (!isTheTwoMembers(names)) throw ArchiveError::notACatalog();

    // Only plain files: a link member holds its target's path as data, which would be
    // extracted as a file of that text.
    for (zip_int64_t i = 0; i < count; ++i)
        if (!isRegularMember(z.get(), static_cast<zip_uint64_t>(i)))
            throw ArchiveError::notACatalog();

    // Declared sizes are judged before anything is written: the zip's against the limits,
    // the index's against its own header, and their sum against the free space.
    std::uint64_t total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto& st = stats[static_cast<std::size_t>(i)];
        bool isInfo = strippingDotSlash(st.name) == kInfoName;
        if (st.size > (isInfo ? maxInfoBytes : kMaxIndexBytes)) throw ArchiveError::notACatalog();
        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
            throw ArchiveError::notACatalog();
        if (!isInfo && st.size != declaredIndexBytes(z.get(), static_cast<zip_uint64_t>(i)))
            throw ArchiveError::notACatalog();
        total += st.size;
    }
    if (total + kFreeSpaceReserve > freeBytes(folder))
        throw std::system_error(ENOSPC, std::generic_category(), folder.string());
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto& st = stats[static_cast<std::size_t>(i)];
        extractMember(z.get(), static_cast<zip_uint64_t>(i), st.size,
                      folder / std::string(strippingDotSlash(st.name)));
    }
    z.reset();

    std::vector<std::string> present;
    for (const auto& entry : fs::directory_iterator(folder))
        present.push_back(entry.path().filename().string());
    if (!isTheTwoMembers(present)) throw ArchiveError::notACatalog();
    for (auto name : {kInfoName, kIndexName}) {
        struct stat st {};
        if (::lstat((folder / name).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            throw ArchiveError::notACatalog();
        if (name == kInfoName && static_cast<std::uint64_t>(st.st_size) > maxInfoBytes)
            throw ArchiveError::notACatalog();
    }

    CatalogInfo info;
    try {
        info = CatalogInfo::read(folder / kInfoName);
    } catch (const CatalogError& error) {
        if (error.kind() == CatalogError::Kind::unsupportedFormat)
            throw ArchiveError::unsupportedFormat(error.found());
        throw ArchiveError::notACatalog();
    }
    if (!isSafe(info)) throw ArchiveError::notACatalog();
    IndexLoadOutcome outcome = loadIndex(folder / kIndexName);
    if (!outcome.isLoaded()) throw ArchiveError::damagedIndex();
    if (!isWellFormed(*outcome.store, info)) throw ArchiveError::notACatalog();

    cleanup.release();
    return {std::move(info), folder};
}

bool CatalogArchive::isSafe(const CatalogInfo& info) {
    // The ID becomes a folder name under the catalogs folder, and nothing else.
    if (!CatalogLayout::isValidID(info.id)) return false;
    if (info.relativeRoot.starts_with('/')) return false;
    if (hasDotDot(info.relativeRoot) || hasDotDot(info.lastMountPath)) return false;
    if (info.kind != CatalogInfo::Kind::efu && !info.lastMountPath.empty() &&
        !info.lastMountPath.starts_with('/'))
        return false;
    return true;
}

bool CatalogArchive::isWellFormed(const IndexStore& store, const CatalogInfo& info) {
    const bool efu = info.kind == CatalogInfo::Kind::efu;
    const IndexHeader& header = store.header();
    if (header.volumes.size() != 1) return false;
    if (!efu && info.rootRecordID && *info.rootRecordID >= store.count()) return false;
    for (std::uint32_t id = 0; id < store.count(); ++id) {
        const FileRecord& r = store[id];
        if (std::uint64_t(r.nameOffset) + r.nameLen > header.nameBlobLength) return false;
        if (r.volumeIndex != 0) return false;
        std::string_view name = store.nameBytes(id);
        if (r.parentID != FileRecord::rootParentID) {
            if (r.parentID >= id) return false;
            if (!isPlainName(name, efu)) return false;
        } else if (!efu && !name.empty()) {
            return false;
        }
    }
    if (!efu && info.rootRecordID) {
        auto path = PathResolver(store).absolutePath(*info.rootRecordID);
        if (!path || *path != info.rootPath()) return false;
    }
    return true;
}

} // namespace ulmaro
