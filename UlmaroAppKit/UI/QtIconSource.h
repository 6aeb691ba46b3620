#pragma once

#include "UlmaroAppKit/Panel/IconSource.h"

#include <QIcon>

namespace ulmaro {

/// An icon of the view layer.
class QtIconImage final : public IconImage {
public:
    explicit QtIconImage(QIcon icon) : icon_(std::move(icon)) {}
    const QIcon& icon() const { return icon_; }

private:
    QIcon icon_;
};

/// The icons beside result rows: the bundled "doc" symbol for every file for now.
class QtIconSource final : public IconSource {
public:
    std::shared_ptr<const IconImage> iconForFile(const std::string& path) override;
    std::shared_ptr<const IconImage> genericApplicationIcon() override;

    /// The icon inside `image`; a null icon for none or another kind of image.
    static QIcon qIcon(const std::shared_ptr<const IconImage>& image);
};

} // namespace ulmaro
