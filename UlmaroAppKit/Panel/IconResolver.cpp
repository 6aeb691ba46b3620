#include "UlmaroAppKit/Panel/IconResolver.h"

#include "UlmaroKit/Platform/UnicodeText.h"

#include <array>
#include <string_view>

namespace ulmaro {
namespace {

// Applications inside simulator runtimes and asset stores have icons that are costly to
// load and say nothing; they get the generic one.
constexpr std::array<std::string_view, 4> genericAppPathFragments{"/CoreSimulator/", ".simruntime/",
                                                                  "/AssetsV2/", "/Templates/Data/"};

bool wantsGenericAppIcon(const RankedRow& row) {
    if (!row.isApp) return false;
    for (auto fragment : genericAppPathFragments)
        if (row.path.find(fragment) != std::string::npos) return true;
    return false;
}

} // namespace

IconResolver::IconResolver(std::shared_ptr<IconSource> source) : source_(std::move(source)) {}

std::optional<std::string> IconResolver::cacheKey(const RankedRow& row) {
    if (row.isApp || row.isDirectory) return std::nullopt;
    const auto dot = row.name.rfind('.');
    if (dot == std::string::npos || dot + 1 == row.name.size()) return std::nullopt;
    return UnicodeText::lowercased(std::string_view(row.name).substr(dot + 1));
}

std::shared_ptr<const IconImage> IconResolver::icon(const RankedRow& row) {
    if (wantsGenericAppIcon(row)) return genericAppIcon();
    if (row.isDirectory && !row.isApp) return source_->iconForFolder(row.path);
    auto key = cacheKey(row);
    if (!key) return source_->iconForFile(row.path);
    if (auto it = extensionCache_.find(*key); it != extensionCache_.end()) return it->second;
    auto image = source_->iconForFile(row.path);
    extensionCache_.emplace(std::move(*key), image);
    return image;
}

std::shared_ptr<const IconImage> IconResolver::genericAppIcon() {
    if (!genericAppIcon_) genericAppIcon_ = source_->genericApplicationIcon();
    return genericAppIcon_;
}

} // namespace ulmaro
