#pragma once

#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/VolumeEntry.h"
#include "UlmaroKit/Platform/AtomicFile.h"

#include <filesystem>
#include <span>

namespace ulmaro {

/// Turns a finished builder into an index file.
struct IndexWriter {
    /// Writes header, records and names to the sibling `destination + ".tmp." + tag`, flushes it to
    /// stable storage and puts it in place of `destination` in one step (then flushes the
    /// folder), creating the folder as needed. Readers never see a partial index under the
    /// real name, and a store that maps the old file keeps reading it.
    ///
    /// Throws IndexError::tooManyVolumes for more than 12 volumes, std::length_error for
    /// counts past the format's u32 fields, std::system_error (errno) for file-system
    /// failures. On any failure the temporary file is removed and the destination is
    /// untouched. Two writes to one destination must not overlap. `unsynced` skips both
    /// flushes, for an index that is never read after a restart.
    static void write(const IndexBuilder& builder, std::span<const VolumeEntry> volumes,
                      const std::filesystem::path& destination,
                      Durability durability = Durability::synced);
};

} // namespace ulmaro
