#pragma once

#include "UlmaroKit/Catalogs/CatalogInfo.h"
#include "UlmaroKit/Scanning/FileSystemWatcherSignal.h"

#include <cstdint>
#include <exception>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ulmaro {

/// The cancel flag of one running catalog scan: set on the main thread (the drive leaves,
/// the catalog is forgotten), read by the scan's keep-going test on the scan queue.
class CancelFlag {
public:
    void cancel() {
        std::lock_guard guard(lock_);
        cancelled_ = true;
    }
    bool isCancelled() const {
        std::lock_guard guard(lock_);
        return cancelled_;
    }
    /// The keep-going test handed to the scan: true until the flag is set.
    bool shouldContinue() const { return !isCancelled(); }

private:
    mutable std::mutex lock_;
    bool cancelled_ = false;
};

/// The application's catalog pipeline: which drives are offered, the queue of scan jobs run
/// one at a time, and the rules it applies along the way.
class CatalogCoordinator {
public:
    /// What the pipeline is doing.
    struct Idle {
        friend bool operator==(const Idle&, const Idle&) = default;
    };
    struct Scanning {
        std::string id;
        std::string name;
        std::int64_t filesSoFar = 0;
        friend bool operator==(const Scanning&, const Scanning&) = default;
    };
    using Activity = std::variant<Idle, Scanning>;

    /// The answer to a request for a new catalog.
    struct Started {
        std::string id;
        friend bool operator==(const Started&, const Started&) = default;
    };
    /// An existing or queued catalog, by name, already covers the place.
    struct AlreadyCovered {
        std::string name;
        friend bool operator==(const AlreadyCovered&, const AlreadyCovered&) = default;
    };
    struct NotOnAVolume {
        friend bool operator==(const NotOnAVolume&, const NotOnAVolume&) = default;
    };
    using AddResult = std::variant<Started, AlreadyCovered, NotOnAVolume>;

    /// A queued scan: the catalog to build (for a rescan, its current info) and the
    /// existing catalogs it covers, forgotten once it is written.
    struct Job {
        CatalogInfo info;
        std::vector<std::string> absorbs;
        friend bool operator==(const Job&, const Job&) = default;
    };

    /// An unpacked import waiting for the user's answer: it has the identity of `replacing`.
    struct PendingImport {
        CatalogInfo info;
        std::filesystem::path directory;
        std::string replacing;
        friend bool operator==(const PendingImport&, const PendingImport&) = default;
    };

    struct Imported {
        std::string id;
        friend bool operator==(const Imported&, const Imported&) = default;
    };
    struct Conflict {
        std::string existingName;
        PendingImport pending;
        friend bool operator==(const Conflict&, const Conflict&) = default;
    };
    /// The whole message; empty when the user kept the existing catalog.
    struct Failed {
        std::string message;
        friend bool operator==(const Failed&, const Failed&) = default;
    };
    using ImportOutcome = std::variant<Imported, Conflict, Failed>;

    /// Whether a signal from a catalog root's watcher is a change of that catalog. Paths in
    /// the catalogs folder (the scan's own files) and high-churn folders are not; a leading
    /// "/private" is dropped from the paths and the root, and the root's resolved path (a
    /// data folder reached through a symbolic link) counts as the root too. Any thread.
    static bool isRelevant(const FileSystemWatcherSignal& signal, std::string_view catalogsRoot);
    /// The same catalog: same kind, volume UUID and relative root; IDs and names aside.
    static bool sameIdentity(const CatalogInfo& a, const CatalogInfo& b);
    /// The sentence that ends a failed import, export or save message.
    static std::string describe(const std::exception& error);
    /// As above; a thrown value that is no exception reads as an unknown error.
    static std::string describe(const std::exception_ptr& error);
};

} // namespace ulmaro
