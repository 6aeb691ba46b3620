#include "UlmaroKit/Index/PathResolver.h"

#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <cstring>

namespace ulmaro {
namespace {

// The byte length of the record's path, or nothing when the chain does not reach a record
// without parent within the length limit. parentIDs of an open store are all in range.
std::optional<std::size_t> pathLength(const IndexStore& store, std::uint32_t id) {
    if (id >= store.count()) return std::nullopt;
    std::size_t length = 0;
    for (std::size_t depth = 0; depth < PathResolver::maxDepth; ++depth) {
        const FileRecord& r = store[id];
        length += r.nameLen;
        if (r.parentID == FileRecord::rootParentID) {
            if (length == 0) length = 1; // the root alone is "/"
            if (length >= PathResolver::maxPathLength) return std::nullopt;
            return length;
        }
        length += 1;
        if (length >= PathResolver::maxPathLength) return std::nullopt;
        id = r.parentID;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> PathResolver::rawAbsolutePath(std::uint32_t id) const {
    std::optional<std::size_t> length = pathLength(*store_, id);
    if (!length) return std::nullopt;
    // Filled from the end, so that no list of names is built and reversed.
    std::string path(*length, '/');
    std::size_t position = *length;
    for (;;) {
        const FileRecord& r = (*store_)[id];
        std::string_view name = store_->nameBytes(id);
        position -= name.size();
        std::memcpy(path.data() + position, name.data(), name.size());
        if (r.parentID == FileRecord::rootParentID || position == 0) break;
        --position; // keeps the '/' already there
        id = r.parentID;
    }
    return path;
}

std::optional<std::string> PathResolver::absolutePath(std::uint32_t id) const {
    std::optional<std::string> raw = rawAbsolutePath(id);
    if (raw && !isValidUtf8(*raw)) *raw = repairUtf8(*raw);
    return raw;
}

std::optional<std::string> PathResolver::parentPath(std::uint32_t id) const {
    if (id >= store_->count()) return std::nullopt;
    std::uint32_t parent = (*store_)[id].parentID;
    if (parent == FileRecord::rootParentID) return std::string("/");
    return absolutePath(parent);
}

bool PathResolver::containsCycle(std::uint32_t id) const {
    return !pathLength(*store_, id);
}

} // namespace ulmaro
