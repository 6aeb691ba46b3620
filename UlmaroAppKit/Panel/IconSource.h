#pragma once

#include <memory>
#include <string>

namespace ulmaro {

/// An icon image of the view layer; the toolkit's source subclasses it.
class IconImage {
public:
    virtual ~IconImage() = default;
};

/// Where result icons come from: the toolkit's icon theme in the application.
class IconSource {
public:
    virtual ~IconSource() = default;

    /// The icon of the item at `path` (raw bytes).
    virtual std::shared_ptr<const IconImage> iconForFile(const std::string& path) = 0;
    /// The icon of the folder at `path`; a source that can tell folders by their path alone
    /// need not override it.
    virtual std::shared_ptr<const IconImage> iconForFolder(const std::string& path) {
        return iconForFile(path);
    }
    /// The icon of an application in general.
    virtual std::shared_ptr<const IconImage> genericApplicationIcon() = 0;
};

} // namespace ulmaro
