#pragma once

#include "UlmaroKit/Content/ContentIndex.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace ulmaro {

/// Builds a `ContentIndex` from folders: finds the documents it can read, admits
/// plain-text files within a text budget, takes over unchanged texts from a previous
/// index and extracts the rest on all processors, in the order the files were found.
struct ContentIndexBuilder {
    /// How many plain-text documents, and how many bytes of their text, the index keeps.
    struct TextBudget {
        std::int64_t files = 0;
        std::int64_t bytes = 0;
        static const TextBudget standard; // 10000 files, 50 MiB
        bool operator==(const TextBudget&) const = default;
    };

    struct Admission {
        std::vector<std::string> paths;            // admitted new paths, in the given order
        std::unordered_set<std::string> displaced; // stored documents pushed out
    };

    struct Candidate {
        std::string path;
        double modified = 0;
        std::int64_t bytes = 0;
    };

    struct Progress {
        std::int64_t filesScanned = 0;
        std::int64_t documentsExtracted = 0;
        std::int64_t textBytes = 0;
        bool operator==(const Progress&) const = default;
    };

    using Extract = std::function<std::optional<std::string>(const std::string& path)>;
    using IsCancelled = std::function<bool()>;
    using OnProgress = std::function<void(const Progress&)>;

    static const std::unordered_set<std::string>& plainTextExtensions();
    static const std::unordered_set<std::string>& extensions();
    static const std::unordered_set<std::string>& skipDirectories();
    static constexpr std::int64_t maxFileBytes = 67108864;
    /// The most a plain-text file costs before it is read: what the reader reads of it.
    static constexpr std::int64_t plainTextEstimateCap = 2097152;

    /// Document paths under a folder, depth first, each folder before its contents.
    /// Hidden items and the usual build and dependency folders are passed over. An empty or
    /// relative folder name gives nothing.
    static std::vector<std::string> files(const std::string& folder,
                                          const IsCancelled& isCancelled);

    /// The text of one document: plain text for "csv", "txt" and "md", else extracted.
    static std::optional<std::string> defaultExtract(const std::string& path);

    /// Never throws; files that cannot be read are left out, and so are folders whose name
    /// is empty or relative. Cancellation stops the work
    /// that has not started and returns the documents gathered so far.
    static ContentIndex build(const std::vector<std::string>& folders, const ContentIndex* reusing,
                              const IsCancelled& isCancelled, const OnProgress& onProgress,
                              TextBudget textBudget, Extract extract = {});

    /// The paths of the newest candidates that fit the budget, stopping at the first
    /// that does not.
    static std::unordered_set<std::string> keptWithinBudget(std::vector<Candidate> candidates,
                                                            TextBudget budget);
    /// Which new paths may be indexed next to what `index` holds, and which stored
    /// documents they push out. Reads file status only. Only plain-text files extraction
    /// will read compete (regular, not links, 1 byte to `maxFileBytes`); the others are
    /// admitted without cost and give no document.
    static Admission withinTextBudget(const std::vector<std::string>& newPaths,
                                      const ContentIndex& index, TextBudget budget);
    /// Removes the plain-text documents that no longer fit; true when any went.
    static bool enforceTextBudget(ContentIndex& index, TextBudget budget);

    /// Whether the path's extension, lower-cased, is a plain-text one.
    static bool isPlainText(std::string_view path);
};

} // namespace ulmaro
