#include "UlmaroAppKit/Indexing/IndexCoverage.h"

#include "UlmaroAppKit/Text/TextFormat.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

namespace ulmaro {

std::optional<std::string> IndexCoverage::gapDescription() const {
    if (deniedDirectories < 1) return std::nullopt;
    return formatLocaleInteger(deniedDirectories) +
           (deniedDirectories == 1 ? " folder" : " folders") + " couldn't be read";
}

std::string IndexCoverage::place(std::string_view path, std::string_view home) {
    const bool underHome =
        path.size() > home.size() && path.starts_with(home) && path[home.size()] == '/';
    std::string_view rest = underHome ? path.substr(home.size() + 1) : path;
    std::vector<std::string_view> pieces;
    while (!rest.empty() && pieces.size() < 2) {
        const auto slash = rest.find('/');
        std::string_view piece = rest.substr(0, slash);
        if (!piece.empty()) pieces.push_back(piece);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    if (pieces.empty()) return underHome ? "~" : std::string(path);
    std::string out = underHome ? "~/" : "/";
    out.append(pieces[0]);
    if (pieces.size() > 1) out.append("/").append(pieces[1]);
    return out;
}

std::optional<std::string> IndexCoverage::gapExamples(std::span<const std::string> paths,
                                                      std::string_view home, std::int64_t limit) {
    std::vector<std::string> places;
    std::unordered_set<std::string> seen;
    for (const std::string& path : paths) {
        std::string at = place(path, home);
        if (seen.insert(at).second) places.push_back(std::move(at));
    }
    if (places.empty()) return std::nullopt;
    const std::size_t shown = static_cast<std::size_t>(
        std::clamp<std::int64_t>(limit, 0, static_cast<std::int64_t>(places.size())));
    std::string out;
    for (std::size_t i = 0; i < shown; ++i)
        out.append(i == 0 ? "" : " · ").append(places[i]);
    const std::size_t more = places.size() - shown;
    if (more >= 1)
        out += " · +" + std::to_string(more) + (more == 1 ? " more place" : " more places");
    return out;
}

} // namespace ulmaro
