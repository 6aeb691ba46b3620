#pragma once

#include "UlmaroKit/Platform/UniqueFd.h"

#include <chrono>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace ulmaro {

/// Whether a replaced file must also survive a crash of the machine (`synced`: both fsyncs),
/// or only ever be whole for readers while the machine runs (`unsynced`: no fsync, for files
/// that are never read after a restart; the old file is swapped out in one step).
enum class Durability { synced, unsynced };

/// Writes a file that other code reads, so that readers only ever see the old or the
/// new contents: the bytes go to a sibling, which is fsync'ed, renamed over the
/// destination, and then the folder is fsync'ed. Until `commit()` the destination is
/// untouched; a writer destroyed without committing removes its sibling. The writer holds an
/// exclusive `flock` on its sibling while it lives, so a cleaner never takes a live one.
///
/// Errors are std::system_error with the failing call's errno.
class AtomicFileWriter {
public:
    /// Creates the destination's folder as needed and creates, exclusively, a sibling of its
    /// own named `destination + tempSuffix + "." + a random tag`.
    explicit AtomicFileWriter(std::filesystem::path destination,
                              std::string_view tempSuffix = ".tmp",
                              Durability durability = Durability::synced);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    /// Writes every byte, repeating short writes and EINTR.
    void write(std::span<const unsigned char> bytes);
    void write(std::string_view bytes);

    void commit();

    const std::filesystem::path& temporaryPath() const { return temporary_; }

private:
    bool swapIntoPlace();

    std::filesystem::path destination_;
    std::filesystem::path temporary_;
    UniqueFd fd_;
    bool committed_ = false;
    Durability durability_;
};

/// Replaces `destination` with `contents` through an `AtomicFileWriter`.
void writeFileAtomically(const std::filesystem::path& destination, std::string_view contents);

/// Whether a folder entry's name is that of a writer's sibling ("<file>.tmp.<tag>").
bool isWriterSibling(std::string_view name);

/// Removes the siblings in `folder` that writers which died (a crash, a kill) left behind:
/// each live writer holds a lock on its own, so only a sibling nobody holds, last written at
/// least `minimumAge` ago, goes. Returns how many went; a folder that cannot be read is no
/// error.
std::size_t removeLeftoverTemporaries(const std::filesystem::path& folder,
                                      std::chrono::seconds minimumAge = std::chrono::seconds(60));

/// fsync of a folder, so that a rename inside it is on stable storage.
void syncDirectory(const std::filesystem::path& directory);

} // namespace ulmaro
