#include "UlmaroAppKit/UI/QtIconSource.h"

#include "UlmaroAppKit/UI/Symbols.h"
#include "UlmaroAppKit/UI/Theme.h"

namespace ulmaro {
namespace {

std::shared_ptr<const IconImage> symbolIcon(std::string_view name) {
    return std::make_shared<QtIconImage>(
        Symbols::icon(name, Theme::text(Theme::Level::secondary), 28));
}

} // namespace

std::shared_ptr<const IconImage> QtIconSource::iconForFile(const std::string&) {
    return symbolIcon("doc");
}

std::shared_ptr<const IconImage> QtIconSource::genericApplicationIcon() {
    return symbolIcon("app.badge");
}

QIcon QtIconSource::qIcon(const std::shared_ptr<const IconImage>& image) {
    if (auto* qt = dynamic_cast<const QtIconImage*>(image.get())) return qt->icon();
    return {};
}

} // namespace ulmaro
