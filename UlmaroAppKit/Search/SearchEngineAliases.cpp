#include "UlmaroAppKit/Search/RowBuilding.h"
#include "UlmaroAppKit/Search/SearchEngine.h"

namespace ulmaro {

std::vector<RankedRow> SearchEngine::appAliasRows(std::string_view text) {
    const std::string key = AppDirectory::aliasKey(text);
    if (key.empty()) return {};
    // Built by the first search that could use it, once per engine.
    if (!appDirectory_) appDirectory_ = AppDirectory::build(*store_);
    std::vector<RankedRow> rows;
    for (std::uint32_t id : appDirectory_->aliases(key)) {
        std::optional<std::string> path = paths_.path(id);
        if (!path) continue;
        RankedRow row = RowBuilding::recordRow(*store_, id, id, std::move(*path));
        row.isApp = true;
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace ulmaro
