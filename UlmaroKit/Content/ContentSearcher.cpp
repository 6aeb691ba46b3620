#include "UlmaroKit/Content/ContentSearcher.h"

namespace ulmaro::ContentSearcher {

Outcome search(std::string_view, std::span<const std::string>, bool, std::int64_t) {
    return Hits{};
}

void deepSearch(std::string, std::vector<std::string>, std::function<bool()>,
                std::function<void(const Hit&)>,
                std::function<void(std::int64_t, bool)> onFinished) {
    onFinished(0, false);
}

} // namespace ulmaro::ContentSearcher
