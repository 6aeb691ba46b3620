#pragma once

#include "UlmaroAppKit/Panel/IconSource.h"
#include "UlmaroAppKit/Search/RankedRow.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace ulmaro {

/// The icon beside each result row. Files share one icon per extension, so a long list of
/// a few kinds asks the source a few times; applications and folders, whose icons differ
/// per item, and names without an extension are asked for each time. The view layer holds
/// one resolver for the panel's life. Main thread only.
class IconResolver {
public:
    explicit IconResolver(std::shared_ptr<IconSource> source);

    std::shared_ptr<const IconImage> icon(const RankedRow& row);
    /// The lower-cased extension of a file's name; none for applications, folders and
    /// names without one.
    static std::optional<std::string> cacheKey(const RankedRow& row);
    /// Asked for once, then kept.
    std::shared_ptr<const IconImage> genericAppIcon();

private:
    std::shared_ptr<IconSource> source_;
    std::map<std::string, std::shared_ptr<const IconImage>, std::less<>> extensionCache_;
    std::shared_ptr<const IconImage> genericAppIcon_;
};

} // namespace ulmaro
