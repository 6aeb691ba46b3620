#pragma once

#include "UlmaroAppKit/Search/CatalogSearchInput.h"
#include "UlmaroAppKit/Search/FolderPathCache.h"
#include "UlmaroKit/Index/PathResolver.h"
#include "UlmaroKit/Search/Ranker.h"
#include "UlmaroKit/Search/SearchSession.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ulmaro {

/// Where a catalog record is now: on the mounted drive, or where it was recorded.
struct CatalogLocation {
    /// Raw bytes.
    std::string path;
    bool isOnline = false;

    friend bool operator==(const CatalogLocation&, const CatalogLocation&) = default;
};

/// One catalog as the engine searches it: its own session, ranker and resolver. Lives as
/// long as its engine and is used only on the engine's queue.
class CatalogSource {
public:
    explicit CatalogSource(CatalogSearchInput input);

    const CatalogSearchInput& input() const { return input_; }
    SearchSession& session() { return session_; }
    const SearchSession& session() const { return session_; }
    Ranker& ranker() { return ranker_; }
    const PathResolver& resolver() const { return resolver_; }
    /// How many locations have been asked for.
    std::int64_t resolvedPaths() const { return resolvedPaths_; }

    /// The record's location; nothing when the record has no path (a broken parent chain).
    std::optional<CatalogLocation> location(std::uint32_t record);

    /// The location of a recorded path: under the recorded root (whole components) and
    /// free of "." and ".." parts, it moves to the current root and is online; otherwise,
    /// or while the drive is away, it stays as recorded and offline. Bytes throughout.
    static CatalogLocation locate(std::string recorded,
                                  const std::optional<std::string>& currentRoot,
                                  std::string_view recordedRoot);

    /// A catalog row's identifier: the low 32 bits of `FastHash64` of the catalog ID, a NUL
    /// and the row's path, with both top bits set.
    static std::uint32_t rowID(std::string_view catalogID, std::string_view path);

private:
    CatalogSearchInput input_;
    SearchSession session_;
    Ranker ranker_;
    PathResolver resolver_;
    FolderPathCache paths_;
    std::int64_t resolvedPaths_ = 0;
};

} // namespace ulmaro
