#pragma once

#include "UlmaroAppKit/Panel/IconSource.h"

#include <QIcon>
#include <map>
#include <string>

namespace ulmaro {

/// An icon of the view layer.
class QtIconImage final : public IconImage {
public:
    explicit QtIconImage(QIcon icon) : icon_(std::move(icon)) {}
    const QIcon& icon() const { return icon_; }

private:
    QIcon icon_;
};

/// The icons beside result rows, from the desktop's icon theme: a file's type by its name
/// alone (never reading it), "folder" for folders, a desktop entry's own `Icon=` (read once
/// per path), "application-x-executable" for other applications. Where the theme has none
/// the bundled "doc", "folder" and "app.badge" symbols stand in, so a run without a theme
/// (offscreen tests) always draws the same. GUI thread only.
class QtIconSource final : public IconSource {
public:
    std::shared_ptr<const IconImage> iconForFile(const std::string& path) override;
    std::shared_ptr<const IconImage> iconForFolder(const std::string& path) override;
    std::shared_ptr<const IconImage> genericApplicationIcon() override;

    /// The icon inside `image`; a null icon for none or another kind of image.
    static QIcon qIcon(const std::shared_ptr<const IconImage>& image);

private:
    std::shared_ptr<const IconImage> desktopEntryIcon(const std::string& path);

    std::map<std::string, std::shared_ptr<const IconImage>> desktopEntries_;
};

} // namespace ulmaro
