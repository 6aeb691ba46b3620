#pragma once

#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "support/TempDir.h"

#include <memory>
#include <string_view>

namespace ulmaro::test {

/// A hand-built index, written to a scratch folder and opened as a store.
struct SmallIndex {
    static constexpr std::uint32_t none = FileRecord::rootParentID;
    static constexpr RecordFlags dir = RecordFlags::isDirectory;
    static constexpr RecordFlags app = RecordFlags::isDirectory | RecordFlags::isApp;
    static constexpr RecordFlags hidden = RecordFlags::isHidden;

    IndexBuilder builder;

    std::uint32_t add(std::string_view name, std::uint32_t parent, RecordFlags flags = {},
                      std::uint64_t size = 0) {
        const auto id = builder.addEntry(name, parent, flags, 0);
        if (size != 0) builder.setAttributes(id, size, 0);
        return id;
    }

    std::shared_ptr<const IndexStore> open() {
        IndexWriter::write(builder, {}, dir_ / "index.bin");
        return IndexStore::open(dir_ / "index.bin");
    }

private:
    TempDir dir_;
};

} // namespace ulmaro::test
