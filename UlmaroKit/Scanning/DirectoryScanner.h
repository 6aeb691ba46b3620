#pragma once

#include "UlmaroKit/Scanning/ScanPolicy.h"
#include "UlmaroKit/Scanning/ScanResult.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace ulmaro {

/// Walks a directory tree and records the name and kind of every entry (no sizes or dates)
/// in an IndexBuilder, spreading the walk over every processor.
///
/// Folders are read with getdents64 and each entry's kind comes from its type field
/// (fstatat only when the file system does not report it). Paths stay raw bytes. The walk
/// is balanced by work stealing over single folders; the records are then laid out in a
/// fixed order that depends on the tree alone, never on thread timing: the root chain, the
/// folders of the first `seedDepth` levels breadth-first, then each folder found below them
/// with its subtree depth-first (a folder's entries together, its subfolders entered from
/// the last read to the first), subtrees in breadth-first order.
class DirectoryScanner {
public:
    static constexpr std::size_t deniedSampleCap = 16;

    /// Receives the running count of entries recorded. Called from worker threads.
    using Progress = std::function<void(std::int64_t entries)>;
    /// Asked before each folder is read; false stops the scan. Called from worker threads.
    using ShouldContinue = std::function<bool()>;

    /// For tests: makes opening or reading chosen folders fail with an errno, as a sandbox
    /// or a failing disk would; neither can be produced on demand. 0 means no fault.
    struct FaultInjection {
        std::function<int(std::string_view path)> openError = {};
        /// Fails the read that follows the first batch of entries.
        std::function<int(std::string_view path)> readError = {};
    };

    /// Negative `seedDepth` and `progressInterval` (seconds) count as 0. Reads the mount
    /// table to learn which folders are roots of file systems that are never entered.
    DirectoryScanner(ScanPolicy policy, int seedDepth, double progressInterval,
                     std::string homeDirectory);

    /// Scans the tree under `root` (made absolute and normalised first). The root itself is
    /// not tested against the policy; every folder below it is.
    ScanResult scan(std::string_view root, std::uint8_t volumeIndex, const Progress& onProgress,
                    const ShouldContinue& shouldContinue) const;
    ScanResult scan(std::string_view root, std::uint8_t volumeIndex) const;

    /// Whether granting access could cure the denial: exactly EPERM.
    static bool isFixableDenial(int error);

    /// `root` as an absolute path (relative to the working folder), normalised, without a
    /// trailing "/" ("/" stays "/").
    static std::string absoluteRoot(std::string_view root);

    const ScanPolicy& policy() const { return policy_; }
    int seedDepth() const { return seedDepth_; }
    double progressInterval() const { return progressInterval_; }
    const std::string& homeDirectory() const { return homeDirectory_; }

    /// Roots of file systems that are recorded but never entered (from the mount table).
    const ScanPolicy::PathSet& unenterableMountPoints() const { return mountPoints_; }
    void setUnenterableMountPoints(ScanPolicy::PathSet mountPoints) {
        mountPoints_ = std::move(mountPoints);
    }

    void setFaultInjection(FaultInjection faults) { faults_ = std::move(faults); }

private:
    ScanPolicy policy_;
    int seedDepth_;
    double progressInterval_;
    std::string homeDirectory_;
    ScanPolicy::PathSet mountPoints_;
    FaultInjection faults_;
};

} // namespace ulmaro
