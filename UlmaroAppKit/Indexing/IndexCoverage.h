#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ulmaro {

/// How much of the disk the last scan could read: the folders it could not are gaps.
struct IndexCoverage {
    std::int64_t indexedCount = 0;
    std::int64_t deniedDirectories = 0;

    bool hasGaps() const { return deniedDirectories > 0; }
    /// "3 folders couldn't be read", the number grouped as the user's locale groups it.
    std::optional<std::string> gapDescription() const;

    /// Where a path lies, short: its first two components below the home folder ("~/a/b")
    /// or below "/" ("/a/b"); "~" for the home folder's own "/" form.
    static std::string place(std::string_view path, std::string_view home);
    /// The places of `paths`, each once in the order first met, the first `limit` joined
    /// with " · ", then " · +N more place(s)"; none without paths.
    static std::optional<std::string> gapExamples(std::span<const std::string> paths,
                                                  std::string_view home, std::int64_t limit);

    friend bool operator==(const IndexCoverage&, const IndexCoverage&) = default;
};

} // namespace ulmaro
