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
/// folder's own name is left to test, and its path only when the name could match.
class DescentRule {
public:
    DescentRule(const ScanPolicy& policy, const ScanPolicy::PathSet& mountPoints,
                std::string_view rootPath);

    /// `childPath()` gives the folder's absolute path; it is called only when needed.
    template <typename PathFn>
    bool mayEnter(std::string_view name, PathFn&& childPath) const {
        if (rootRefusesAll_ || ScanPolicy::isNoIndexName(name) ||
            ScanPolicy::isBackupOrSystemStoreName(name))
            return false;
        if (!lastComponents_.contains(name)) return true;
        const std::string path = childPath();
        return !policy_->excluded.contains(path) && !mountPoints_->contains(path);
    }

private:
    const ScanPolicy* policy_;
    const ScanPolicy::PathSet* mountPoints_;
    ScanPolicy::PathSet lastComponents_; // of every excluded path and mount point
    bool rootRefusesAll_;
};

/// The flags a scan gives an entry from its name, kind and folder.
RecordFlags scannedEntryFlags(std::string_view name, EntryKind kind, std::string_view folderName);

/// One folder's entries as the scanner records them, packed as [length][flags][name bytes]
/// with names cut to 255 bytes, and its subfolders, which the walk enters by full name.
class DirectoryEntries {
public:
    struct Subdirectory {
        std::uint32_t index;        // the entry's position among the folder's entries
        std::uint32_t packedOffset; // where its entry starts in packed()
        std::string longName;       // the full name when it was cut, else empty
    };

    /// Starts over for a folder named `folderName`.
    void start(std::string_view folderName);
    void add(std::string_view name, EntryKind kind);

    std::span<const unsigned char> packed() const { return packed_; }
    std::uint32_t count() const { return count_; }
    /// Name bytes as stored (after cutting).
    std::uint64_t nameBytes() const { return nameBytes_; }
    const std::vector<Subdirectory>& subdirectories() const { return subdirectories_; }

    /// A subfolder's full name; `packed` is where packed() was copied to.
    static std::string_view fullName(const Subdirectory& subdirectory,
                                     const unsigned char* packed) {
        if (!subdirectory.longName.empty()) return subdirectory.longName;
        return {reinterpret_cast<const char*>(packed + subdirectory.packedOffset + 2),
                packed[subdirectory.packedOffset]};
    }

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
    std::string folderName_;
    std::vector<unsigned char> packed_;
    std::uint32_t count_ = 0;
    std::uint64_t nameBytes_ = 0;
    std::vector<Subdirectory> subdirectories_;
};

} // namespace ulmaro
