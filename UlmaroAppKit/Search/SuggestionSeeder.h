#pragma once

#include "UlmaroAppKit/Search/RankedRow.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

class IndexStore;
class PathResolver;

/// Up to three of the user's own files, shown after the first index build as examples of
/// what to search for: documents, pictures, sound, video and archives in the well-known
/// folders first, shallow before deep, one per folder while others remain; applications
/// when the index holds no such file. Reads the index only and keeps nothing between calls.
class SuggestionSeeder {
public:
    static constexpr std::size_t maxSuggestions = 3;

    struct Suggestions {
        std::vector<RankedRow> rows;

        friend bool operator==(const Suggestions&, const Suggestions&) = default;
    };

    /// One well-known folder directly inside the home folder: raw bytes, and the tier its
    /// files start (1 for desktop, documents and downloads; 2 for music, pictures, videos).
    struct WellKnownFolder {
        std::string path;
        int tier = 0;

        friend bool operator==(const WellKnownFolder&, const WellKnownFolder&) = default;
    };

    /// The lower-case extensions of files worth suggesting.
    static const std::set<std::string, std::less<>>& recognisableExtensions();
    /// Folders whose contents are never suggested: the ranker's demoted ones and "Library".
    /// Nor is anything below a hidden folder (a name beginning with ".").
    static const std::set<std::string, std::less<>>& excludedPathComponents();

    /// The six folders as the user's `user-dirs.dirs` names them, else by their English
    /// names; a folder that is not directly inside the home folder starts no tier.
    static std::vector<WellKnownFolder> wellKnownFolders(std::string_view homeDirectoryPath);

    /// `homeDirectoryPath` has no trailing "/". Runs on the caller's thread.
    static Suggestions seed(const IndexStore& store, std::string_view homeDirectoryPath);
    static Suggestions seed(const IndexStore& store, std::span<const WellKnownFolder> folders);

    /// The candidates in order, picking first one per parent folder, then filling up from
    /// the start; at most `maxSuggestions` rows.
    static std::vector<RankedRow> pickDiverse(std::span<const std::uint32_t> candidates,
                                              const IndexStore& store,
                                              const PathResolver& resolver);
};

} // namespace ulmaro
