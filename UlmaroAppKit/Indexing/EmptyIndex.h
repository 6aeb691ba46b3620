#pragma once

#include <filesystem>
#include <memory>

namespace ulmaro {

class IndexStore;

/// An index with no records: the base that searches use while searching this computer is
/// off, so that catalogs stay searchable.
namespace EmptyIndex {

/// Where the shell keeps it: the main index's path with ".empty" added.
std::filesystem::path path(const std::filesystem::path& indexPath);

/// The empty index at `path`, reused when it loads and holds no records, else written anew
/// (no volumes); null when none can be written and loaded.
std::shared_ptr<const IndexStore> store(const std::filesystem::path& path);

} // namespace EmptyIndex

} // namespace ulmaro
