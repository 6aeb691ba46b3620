#include "UlmaroAppKit/Search/CatalogSource.h"

#include "UlmaroKit/Index/FastHash64.h"
#include "UlmaroKit/Index/IndexStore.h"

namespace ulmaro {
namespace {

bool isUnderRoot(std::string_view recorded, std::string_view root) {
    if (root == "/") return recorded.starts_with('/');
    return recorded.starts_with(root) &&
           (recorded.size() == root.size() || recorded[root.size()] == '/');
}

bool hasDotPart(std::string_view path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part == "." || part == "..") return true;
        start = end + 1;
    }
    return false;
}

} // namespace

CatalogSource::CatalogSource(CatalogSearchInput input)
    : input_(std::move(input)), session_(input_.store), ranker_(input_.store),
      resolver_(*input_.store), paths_(*input_.store) {}

std::optional<CatalogLocation> CatalogSource::location(std::uint32_t record) {
    ++resolvedPaths_;
    std::optional<std::string> recorded = paths_.path(record);
    if (!recorded) return std::nullopt;
    return locate(std::move(*recorded), input_.currentRoot, input_.recordedRoot);
}

CatalogLocation CatalogSource::locate(std::string recorded,
                                      const std::optional<std::string>& currentRoot,
                                      std::string_view recordedRoot) {
    if (!currentRoot || !isUnderRoot(recorded, recordedRoot) || hasDotPart(recorded))
        return {std::move(recorded), false};
    if (*currentRoot == recordedRoot || recordedRoot == "/") return {std::move(recorded), true};
    std::string moved = *currentRoot;
    moved.append(recorded, recordedRoot.size());
    return {std::move(moved), true};
}

std::uint32_t CatalogSource::rowID(std::string_view catalogID, std::string_view path) {
    FastHash64::Rolling hash;
    hash.update(catalogID.data(), catalogID.size());
    const char nul = '\0';
    hash.update(&nul, 1);
    hash.update(path.data(), path.size());
    return static_cast<std::uint32_t>(hash.finish()) | 0xC0000000u;
}

} // namespace ulmaro
