#pragma once

#include "UlmaroKit/Platform/UniqueFd.h"

#include <filesystem>
#include <string>

namespace ulmaro {

/// One running copy per user and machine: an exclusive `flock` on "instance.lock" in the
/// runtime folder. The lock belongs to the open descriptor, not to the file, so a copy that
/// crashed leaves a file behind but no lock.
class SingleInstance {
public:
    /// Where a primary copy answers summons and holds its lock.
    struct Role {
        bool isPrimary = true;
        /// False when the runtime folder could not be trusted: no lock and no summon
        /// channel, rather than following something another user may have planted.
        bool hasRuntimeFolder = true;
    };

    /// `DataLocations::runtimeDirectory()`, worked out anew on each use.
    static std::filesystem::path runtimeFolder();
    static std::filesystem::path lockPath(const std::filesystem::path& runtimeFolder) {
        return runtimeFolder / "instance.lock";
    }
    static std::filesystem::path summonSocketPath(const std::filesystem::path& runtimeFolder) {
        return runtimeFolder / "summon";
    }

    /// Makes the folder (mode 0700, parents as needed) and checks it with `lstat`: a real
    /// folder, ours, mode 0700. `why` says what is wrong when it is not.
    static bool prepareRuntimeFolder(const std::filesystem::path& folder,
                                     std::string* why = nullptr);

    /// True when this process is to run as the primary copy. Creates the lock file's folder
    /// (errors ignored), opens the file read-write (created 0644, close-on-exec) and asks
    /// for an exclusive lock without waiting; a file that cannot be opened means primary.
    /// The descriptor stays open, and the lock held, until the process ends.
    static bool acquire(const std::filesystem::path& lockPath);

    /// `acquire` that hands the descriptor back instead of keeping it, so tests can let
    /// the lock go.
    struct Lock {
        bool isPrimary = true;
        UniqueFd descriptor;
    };
    static Lock tryLock(const std::filesystem::path& lockPath);

    /// The start-up decision: the runtime folder prepared and checked, then the lock. An
    /// untrusted folder writes one line to standard error and runs as primary.
    static Role claim(const std::filesystem::path& runtimeFolder);
};

} // namespace ulmaro
