#pragma once

#include "UlmaroKit/Content/DocumentText.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ulmaro::ContentSearcher {

/// Plain text and the raw bytes of a file are read only up to this many bytes.
inline constexpr std::uint64_t maxBytesPerFile = DocumentText::maxBytesPerFile;
/// The candidate limit that callers pass to `search`.
inline constexpr std::int64_t maxCandidates = 5000;
/// Previews keep at most this many characters (grapheme clusters).
inline constexpr std::size_t previewCharacters = 200;

/// One file holding the needle: the path exactly as given, the 1-based line of the first
/// match and that line, trimmed and cut to `previewCharacters`.
struct Hit {
    std::string path;
    std::int64_t line = 0;
    std::string preview;

    bool operator==(const Hit&) const = default;
};

/// The hits of a search, sorted by path.
struct Hits {
    std::vector<Hit> hits;

    bool operator==(const Hits&) const = default;
};

/// A search refused because it was given more candidates than its limit; no file was read.
struct TooManyCandidates {
    std::int64_t candidates = 0;

    bool operator==(const TooManyCandidates&) const = default;
};

using Outcome = std::variant<Hits, TooManyCandidates>;

using DocumentText::extractedText;
using DocumentText::plainText;

/// Reads every candidate file, spread over all processors, and reports for each file
/// holding the needle the first matching line; blocks until done. The needle "/body/" is
/// a regular expression (always case-insensitive, "^" and "$" at line breaks) when the
/// body has no "/" or has one of ^ $ * + ? [ ] ( ) | \ { } and compiles; otherwise it is
/// literal text. An empty needle gives no hits; more than `maxCandidatesAllowed`
/// candidates give `TooManyCandidates` without reading anything. Hits are sorted by path
/// (Unicode scalar order of the composed text); a file that cannot be read gives no hit.
/// Line numbers count CR LF, LF and a lone CR as one line break each. Once `isCancelled`
/// answers true no further file is read, and the files left give no hit.
Outcome search(std::string_view needle, std::span<const std::string> paths, bool caseSensitive,
               std::int64_t maxCandidatesAllowed = maxCandidates,
               const std::function<bool()>& isCancelled = {});

/// Searches the files in the background, never case-sensitive, and returns at once.
/// The callbacks may be called from any thread, several at once: `onHit` for each hit
/// found while `isCancelled` answers false, then `onFinished` with the number of files
/// examined (files passed over after cancellation are not counted) and whether the search
/// ended cancelled; no `onHit` follows it. An empty needle calls `onFinished(0, false)` on
/// the calling thread. The callbacks must not throw. Searches still running when the
/// process exits are waited for.
void deepSearch(std::string needle, std::vector<std::string> paths,
                std::function<bool()> isCancelled, std::function<void(const Hit&)> onHit,
                std::function<void(std::int64_t filesExamined, bool cancelled)> onFinished);

} // namespace ulmaro::ContentSearcher
