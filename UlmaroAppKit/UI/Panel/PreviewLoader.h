#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <string>

namespace ulmaro {

/// What the preview window shows for one path. Made on any thread.
struct PreviewContent {
    enum class Kind { image, text, listing, facts };
    Kind kind = Kind::facts;
    QImage image;
    /// The text of a text file, repaired to UTF-8.
    QString text;
    /// A folder's names in natural order.
    QStringList listing;
    /// Facts shown for anything else and for every failure: name, size and date as
    /// formatted texts (size and date empty when unknown).
    QString name;
    QString size;
    QString date;
    bool isFolder = false;
};

namespace PreviewLoader {

/// The bytes of a text file that are shown.
inline constexpr std::size_t textPrefixBytes = 64 * 1024;
/// A folder shows at most this many names.
inline constexpr std::size_t listingLimit = 100'000;

/// Reads `path` (raw bytes) for the preview. An image is decoded to fit `bounds`, never
/// enlarged; files open without blocking and only when regular.
PreviewContent load(const std::string& path, QSize bounds);

} // namespace PreviewLoader
} // namespace ulmaro
