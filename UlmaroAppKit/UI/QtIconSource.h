#pragma once

#include "UlmaroAppKit/Panel/IconSource.h"

#include <QIcon>

namespace ulmaro {

/// An icon of the desktop's icon theme.
class QtIconImage final : public IconImage {
public:
    explicit QtIconImage(QIcon icon) : icon_(std::move(icon)) {}
    const QIcon& icon() const { return icon_; }
    /// The Qt icon behind `image`; a null icon for none or another kind.
    static QIcon of(const IconImage* image);

private:
    QIcon icon_;
};

/// Result icons from the icon theme by the item's MIME type (from its name), with the
/// style's file and folder icons where the theme has none. GUI thread only.
class QtIconSource final : public IconSource {
public:
    std::shared_ptr<const IconImage> iconForFile(const std::string& path) override;
    std::shared_ptr<const IconImage> genericApplicationIcon() override;
};

} // namespace ulmaro
