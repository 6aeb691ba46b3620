#pragma once

// Pieces of the directory scanner, in their own header so that tests can drive them with
// names that no local file system holds (Linux caps names at 255 bytes).

#include "UlmaroKit/Index/RecordFlags.h"
#include "UlmaroKit/Scanning/AppRule.h"
#include "UlmaroKit/Scanning/ScanPolicy.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// Whether the scan enters a folder found below its root: not refused by the policy, not
/// the root of a file system that is never entered. The root's own components are judged
/// once; those between the root and a folder passed when they were entered, so only the
/// folder's own name is left to test.
class DescentRule {
public:
    DescentRule(const ScanPolicy& policy, const ScanPolicy::PathSet& mountPoints,
                std::string_view rootPath);
    bool mayEnter(std::string_view path, std::string_view name) const;

private:
    const ScanPolicy* policy_;
    const ScanPolicy::PathSet* mountPoints_;
    bool rootRefusesAll_;
};

/// The flags a scan gives an entry from its name, kind and folder.
RecordFlags scannedEntryFlags(std::string_view name, EntryKind kind, std::string_view folderName);

/// One folder's entries as the scanner records them, packed as [length][flags][name bytes]
/// with names cut to 255 bytes, plus the subfolders to enter, each by its full name.
class DirectoryEntries {
public:
    struct Subdirectory {
        std::uint32_t index; // the entry's position among the folder's entries
        std::string path;
    };

    /// Starts over for the folder at `path` (raw bytes; "" stands for "/").
    void start(std::string_view path);
    void add(std::string_view name, EntryKind kind, const DescentRule& rule);

    std::span<const unsigned char> packed() const { return packed_; }
    std::uint32_t count() const { return count_; }
    /// Name bytes as stored (after cutting).
    std::uint64_t nameBytes() const { return nameBytes_; }
    std::vector<Subdirectory>& subdirectories() { return subdirectories_; }

    /// Calls fn(name, flags) for each packed entry in order.
    template <typename Fn>
    static void forEach(std::span<const unsigned char> packed, Fn fn) {
        for (std::size_t at = 0; at < packed.size();) {
            const std::size_t length = packed[at];
            const RecordFlags flags{packed[at + 1]};
            fn(std::string_view(reinterpret_cast<const char*>(packed.data() + at + 2), length),
               flags);
            at += 2 + length;
        }
    }

private:
    std::string path_;
    std::string_view folderName_;
    std::vector<unsigned char> packed_;
    std::uint32_t count_ = 0;
    std::uint64_t nameBytes_ = 0;
    std::vector<Subdirectory> subdirectories_;
};

} // namespace ulmaro
