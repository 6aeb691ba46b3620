#pragma once

#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "support/TempDir.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace ulmaro::test {

struct FixtureAttributes {
    std::uint64_t size = 0;
    std::uint32_t mtime = 0;
    RecordFlags flags{};
};

/// An index made from absolute paths; the folders on the way are added once, as needed.
class FixtureIndex {
public:
    FixtureIndex() { folders_["/"] = builder_.addEntry("", FileRecord::rootParentID, dir, 0); }
    /// Records shaped as the live delta writes them: every added path carries its
    /// attributes, zero or not, and the folders on the way carry none.
    struct LiveDeltaShape {};
    static constexpr LiveDeltaShape liveDelta{};
    explicit FixtureIndex(LiveDeltaShape) : FixtureIndex() { alwaysFilled_ = true; }

    /// Adds the path (its folders first) and returns its record ID.
    std::uint32_t add(std::string_view path, FixtureAttributes attributes = {}) {
        return entry(path, attributes, alwaysFilled_);
    }
    std::uint32_t folder(std::string_view path) {
        if (const auto it = folders_.find(std::string(path)); it != folders_.end())
            return it->second;
        const std::uint32_t id = entry(path, {.flags = dir}, false);
        folders_[std::string(path)] = id;
        return id;
    }
    /// An application bundle, which may hold further entries.
    std::uint32_t app(std::string_view path) {
        const std::uint32_t id = add(path, {.flags = dir | RecordFlags::isApp});
        folders_[std::string(path)] = id;
        return id;
    }

    std::shared_ptr<const IndexStore> open() {
        IndexWriter::write(builder_, {}, dir_ / "index.bin");
        return IndexStore::open(dir_ / "index.bin");
    }

    static constexpr RecordFlags dir = RecordFlags::isDirectory;

private:
    std::uint32_t entry(std::string_view path, FixtureAttributes attributes, bool filled) {
        const std::size_t slash = path.rfind('/');
        const std::uint32_t parent = folder(slash == 0 ? "/" : path.substr(0, slash));
        const std::uint32_t id =
            builder_.addEntry(path.substr(slash + 1), parent, attributes.flags, 0);
        if (filled || attributes.size != 0 || attributes.mtime != 0)
            builder_.setAttributes(id, attributes.size, attributes.mtime);
        return id;
    }

    bool alwaysFilled_ = false;
    IndexBuilder builder_;
    std::map<std::string, std::uint32_t> folders_;
    TempDir dir_;
};

} // namespace ulmaro::test
