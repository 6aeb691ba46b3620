#include "UlmaroKit/Content/ContentIndexBuilder.h"
#include "UlmaroKit/Content/DocumentText.h"

namespace ulmaro {

std::optional<std::string> ContentIndexBuilder::defaultExtract(const std::string& path) {
    return DocumentText::text(path);
}

} // namespace ulmaro
