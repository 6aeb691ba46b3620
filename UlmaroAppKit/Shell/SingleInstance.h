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
    enum class Outcome {
        /// This process holds the lock: it is the first copy.
        primary,
        /// Another process holds it: this launch only summons that one.
        secondary,
        /// The lock file cannot be opened (a folder stands there, permissions forbid it):
        /// whether a copy runs cannot be told, so this launch must not start.
        failed,
    };

    /// The start-up decision.
    struct Role {
        Outcome outcome = Outcome::primary;
        /// False when the runtime folder could not be trusted: no lock and no summon
        /// channel, rather than following something another user may have planted.
        bool hasRuntimeFolder = true;
        /// Why, for `failed`: one line for the user.
        std::string problem{};
        bool isPrimary() const { return outcome == Outcome::primary; }
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

    /// The lock, taken without waiting: creates the lock file's folder (errors ignored),
    /// opens the file read-write (created 0644, close-on-exec, never through a link) and
    /// asks for an exclusive lock. The descriptor comes back, so tests can let the lock go.
    struct Lock {
        Outcome outcome = Outcome::primary;
        UniqueFd descriptor;
        std::string problem{};
        bool isPrimary() const { return outcome == Outcome::primary; }
    };
    static Lock tryLock(const std::filesystem::path& lockPath);

    /// `tryLock` whose descriptor stays open, and the lock held, until the process ends.
    static Lock acquire(const std::filesystem::path& lockPath);

    /// The runtime folder prepared and checked, then the lock. An untrusted folder writes
    /// one line to standard error and runs as primary without a lock.
    static Role claim(const std::filesystem::path& runtimeFolder);
};

} // namespace ulmaro
