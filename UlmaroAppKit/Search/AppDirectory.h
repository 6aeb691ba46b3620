#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

class IndexStore;

/// The applications of one index, ready to be found by the starts of their names' words:
/// "tte" finds Tiny Text Editor, "pt" finds PhotoTool.
class AppDirectory {
public:
    struct Entry {
        std::uint32_t id = 0;
        /// The display name (`appDisplayName`), lower-cased, as UTF-8 bytes.
        std::string folded;
        /// Ascending byte positions in `folded` where a word begins.
        std::vector<std::uint32_t> wordStarts;
    };

    static constexpr std::size_t maxAliases = 3;

    /// Every application record of the store that is not deleted and has a word start,
    /// in record order.
    static AppDirectory build(const IndexStore& store);

    /// Whether a text may be an alias at all: two characters or more, no space, ":", "|"
    /// or "!", no leading "/", ASCII once lower-cased. Searches that fail this never build
    /// the directory.
    static bool admitsAliases(std::string_view text);
    /// The lower-cased text when it admits aliases, else empty.
    static std::string aliasKey(std::string_view text);

    /// The record IDs of the applications whose words, in order, each give a prefix of
    /// what is left of `key` (greedily) until all of it is spelled; the shortest names
    /// first (ties in record order), at most `maxAliases`.
    std::vector<std::uint32_t> aliases(std::string_view key) const;

    const std::vector<Entry>& entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
};

} // namespace ulmaro
