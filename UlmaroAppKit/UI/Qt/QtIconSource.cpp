#include "UlmaroAppKit/UI/Qt/QtIconSource.h"

#include "UlmaroAppKit/Panel/DesktopEntryIcon.h"
#include "UlmaroAppKit/Platform/SmallFile.h"
#include "UlmaroAppKit/UI/Kit/Symbols.h"
#include "UlmaroAppKit/UI/Kit/Theme.h"

#include <QMimeDatabase>

namespace ulmaro {
namespace {

QIcon bundled(std::string_view symbol) {
    return Symbols::icon(symbol, Theme::text(Theme::Level::secondary), 28);
}

std::shared_ptr<const IconImage> image(QIcon icon) {
    return std::make_shared<QtIconImage>(std::move(icon));
}

QIcon themed(const QString& name, const QIcon& fallback) {
    if (name.isEmpty()) return fallback;
    return QIcon::fromTheme(name, fallback);
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

} // namespace

std::shared_ptr<const IconImage> QtIconSource::iconForFile(const std::string& path) {
    if (endsWith(path, ".desktop")) return desktopEntryIcon(path);
    if (endsWith(path, ".AppImage") || endsWith(path, ".app")) return genericApplicationIcon();
    const auto slash = path.rfind('/');
    const QString name =
        QString::fromUtf8(slash == std::string::npos ? path : path.substr(slash + 1));
    const QMimeType type = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    const QIcon generic = themed(type.genericIconName(), bundled("doc"));
    return image(themed(type.iconName(), generic));
}

std::shared_ptr<const IconImage> QtIconSource::iconForFolder(const std::string&) {
    return image(themed(QStringLiteral("folder"), bundled("folder")));
}

std::shared_ptr<const IconImage> QtIconSource::genericApplicationIcon() {
    return image(themed(QStringLiteral("application-x-executable"), bundled("app.badge")));
}

std::shared_ptr<const IconImage> QtIconSource::desktopEntryIcon(const std::string& path) {
    if (auto it = desktopEntries_.find(path); it != desktopEntries_.end()) return it->second;
    const auto file = SmallFile::read(path, 256 * 1024);
    std::optional<std::string> name;
    if (file.status == SmallFile::Status::read) name = ulmaro::desktopEntryIcon(file.bytes);
    QIcon icon;
    if (name && name->starts_with('/'))
        icon = QIcon(QString::fromStdString(*name));
    else if (name)
        icon = QIcon::fromTheme(QString::fromStdString(*name));
    auto result = icon.isNull() ? genericApplicationIcon() : image(std::move(icon));
    desktopEntries_.emplace(path, result);
    return result;
}

QIcon QtIconSource::qIcon(const std::shared_ptr<const IconImage>& image) {
    if (auto* qt = dynamic_cast<const QtIconImage*>(image.get())) return qt->icon();
    return {};
}

} // namespace ulmaro
