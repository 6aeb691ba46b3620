#include "UlmaroAppKit/UI/Panel/PreviewLoader.h"

#include "UlmaroAppKit/Text/NaturalCompare.h"
#include "UlmaroAppKit/Text/TextFormat.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ulmaro::PreviewLoader {
namespace {

QString fromBytes(std::string_view bytes) {
    return QString::fromStdString(repairUtf8(bytes));
}

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

std::string_view baseName(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    auto slash = path.rfind('/');
    return slash == std::string_view::npos || path.size() == 1 ? path : path.substr(slash + 1);
}

PreviewContent facts(std::string_view path, const struct stat* st) {
    PreviewContent content;
    content.kind = PreviewContent::Kind::facts;
    content.name = fromBytes(baseName(path));
    if (st) {
        content.isFolder = S_ISDIR(st->st_mode);
        if (S_ISREG(st->st_mode))
            content.size = QString::fromStdString(formatByteCount(std::uint64_t(st->st_size)));
        const auto modified = std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::seconds(st->st_mtim.tv_sec) +
                std::chrono::nanoseconds(st->st_mtim.tv_nsec)));
        content.date = QString::fromStdString(
            "Modified " + formatRelativeDate(modified, std::chrono::system_clock::now()));
    }
    return content;
}

// A cut at the prefix's end may split a character; drop its first bytes rather than show
// a replacement character that the file does not have.
std::string_view withoutSplitCharacter(std::string_view bytes) {
    for (std::size_t back = 1; back <= std::min<std::size_t>(3, bytes.size()); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((byte & 0xC0) != 0x80) {
            const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
            if (length > back) bytes.remove_suffix(back);
            break;
        }
    }
    return bytes;
}

bool listFolder(const std::string& path, PreviewContent& content) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (names.size() == listingLimit) break;
        names.push_back(repairUtf8(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), naturalLess);
    content.kind = PreviewContent::Kind::listing;
    content.listing.reserve(qsizetype(names.size()));
    for (const std::string& name : names)
        content.listing.push_back(QString::fromStdString(name));
    return true;
}

enum class Decode { notAnImage, decoded, failed };

Decode decodeImage(int fd, QSize bounds, PreviewContent& content) {
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) return Decode::failed;
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    if (!reader.canRead()) return Decode::notAnImage;
    const QSize full = reader.size();
    if (full.isValid() && bounds.isValid() &&
        (full.width() > bounds.width() || full.height() > bounds.height()))
        reader.setScaledSize(full.scaled(bounds, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull()) return Decode::failed;
    content.kind = PreviewContent::Kind::image;
    content.image = std::move(image);
    return Decode::decoded;
}

} // namespace

PreviewContent load(const std::string& path, QSize bounds) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return facts(path, nullptr);
    PreviewContent content = facts(path, &st);
    if (S_ISDIR(st.st_mode)) {
        listFolder(path, content);
        return content;
    }
    if (!S_ISREG(st.st_mode)) return content;

    Fd file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    struct stat opened;
    if (file.fd < 0 || ::fstat(file.fd, &opened) != 0 || !S_ISREG(opened.st_mode)) return content;

    std::string prefix(textPrefixBytes, '\0');
    std::size_t got = 0;
    while (got < prefix.size()) {
        const ssize_t n = ::pread(file.fd, prefix.data() + got, prefix.size() - got, off_t(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += std::size_t(n);
    }
    prefix.resize(got);

    // An image that does not decode shows its facts, like anything unreadable.
    if (decodeImage(file.fd, bounds, content) != Decode::notAnImage) return content;
    if (prefix.find('\0') != std::string::npos) return content;
    const bool cut = std::uint64_t(opened.st_size) > got;
    content.kind = PreviewContent::Kind::text;
    content.text = fromBytes(cut ? withoutSplitCharacter(prefix) : std::string_view(prefix));
    return content;
}

} // namespace ulmaro::PreviewLoader
