#include "UlmaroAppKit/UI/QtIconSource.h"

#include "UlmaroAppKit/UI/PlainText.h"

#include <QApplication>
#include <QMimeDatabase>
#include <QStyle>
#include <sys/stat.h>

namespace ulmaro {

QIcon QtIconImage::of(const IconImage* image) {
    const auto* qt = dynamic_cast<const QtIconImage*>(image);
    return qt ? qt->icon() : QIcon();
}

std::shared_ptr<const IconImage> QtIconSource::iconForFile(const std::string& path) {
    static const QMimeDatabase mimes;
    // The type comes from the name alone: reading content could wait on a slow drive. Only
    // whether it is a folder costs a stat.
    struct stat info {};
    const bool folder = ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    const QMimeType type =
        folder ? mimes.mimeTypeForName(QStringLiteral("inode/directory"))
               : mimes.mimeTypeForFile(PlainText::fromBytes(path), QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    if (icon.isNull())
        icon =
            QApplication::style()->standardIcon(folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    return std::make_shared<QtIconImage>(std::move(icon));
}

std::shared_ptr<const IconImage> QtIconSource::genericApplicationIcon() {
    QIcon icon = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_DesktopIcon);
    return std::make_shared<QtIconImage>(std::move(icon));
}

} // namespace ulmaro
