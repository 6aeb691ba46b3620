#include "UlmaroKit/Index/IndexBuilder.h"

#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <algorithm>
#include <stdexcept>

namespace ulmaro {

void checkIndexLimits(std::uint64_t recordCount, std::uint64_t blobBytes) {
    if (recordCount > IndexBuilder::maxRecords)
        throw std::length_error("index: more records than the format can hold");
    if (blobBytes > IndexBuilder::maxBlobBytes)
        throw std::length_error("index: more name bytes than the format can hold");
}

IndexBuilder::IndexBuilder(std::size_t reservingRecords, std::size_t reservingBlobBytes) {
    if (reservingRecords > 0) records.reserve(reservingRecords);
    if (reservingBlobBytes > 0) nameBlob.reserve(reservingBlobBytes);
}

std::uint32_t IndexBuilder::addEntry(std::string_view nameBytes, std::uint32_t parentID,
                                     RecordFlags flags, std::uint8_t volumeIndex) {
    std::size_t length = std::min(nameBytes.size(), maxNameLength);
    checkIndexLimits(std::uint64_t{records.size()} + 1, std::uint64_t{nameBlob.size()} + length);
    auto id = static_cast<std::uint32_t>(records.size());
    FileRecord record{.parentID = parentID,
                      .nameOffset = static_cast<std::uint32_t>(nameBlob.size()),
                      .nameLen = static_cast<std::uint8_t>(length),
                      .flags = flags,
                      .volumeIndex = volumeIndex};
    records.push_back(record); // first, so that a failed allocation leaves the blob as it was
    try {
        nameBlob.insert(nameBlob.end(), nameBytes.begin(), nameBytes.begin() + length);
    } catch (...) {
        records.pop_back();
        throw;
    }
    return id;
}

void IndexBuilder::setAttributes(std::uint32_t id, std::uint64_t size, std::uint32_t mtime) {
    FileRecord& record = records.at(id);
    record.size = size;
    record.mtime = mtime;
    record.flags.insert(RecordFlags::attrsFilled);
}

std::optional<std::uint32_t> IndexBuilder::copyVolume(const IndexStore& store,
                                                      std::uint8_t volumeIndex,
                                                      std::uint8_t newVolumeIndex) {
    constexpr std::uint32_t notCopied = FileRecord::rootParentID;
    std::size_t recordsBefore = records.size(), blobBefore = nameBlob.size();
    std::optional<std::uint32_t> first;
    try {
        // A parent always precedes its children, so one pass in ID order sees every parent
        // first; a parent that comes later (never in files we write) counts as not copied.
        std::vector<std::uint32_t> newIDs(store.count(), notCopied);
        for (std::uint32_t old = 0; old < store.count(); ++old) {
            const FileRecord& r = store[old];
            if (r.volumeIndex != volumeIndex) continue;
            std::uint32_t parent = FileRecord::rootParentID;
            if (r.parentID != FileRecord::rootParentID) {
                parent = newIDs[r.parentID];
                if (parent == notCopied) continue;
            }
            std::uint32_t id = addEntry(store.nameBytes(old), parent, r.flags, newVolumeIndex);
            if (r.flags.contains(RecordFlags::attrsFilled)) setAttributes(id, r.size, r.mtime);
            newIDs[old] = id;
            if (!first) first = id;
        }
    } catch (...) {
        records.resize(recordsBefore);
        nameBlob.resize(blobBefore);
        throw;
    }
    return first;
}

std::string_view IndexBuilder::nameBytes(std::uint32_t id) const {
    const FileRecord& r = records.at(id);
    return {reinterpret_cast<const char*>(nameBlob.data()) + r.nameOffset, r.nameLen};
}

std::string IndexBuilder::name(std::uint32_t id) const {
    return repairUtf8(nameBytes(id));
}

std::vector<std::uint32_t> IndexBuilder::merge(const IndexBuilder& other,
                                               std::uint32_t attachingTo) {
    if (&other == this) {
        IndexBuilder copy = other;
        return merge(copy, attachingTo);
    }
    std::uint64_t recordBase = records.size(), blobBase = nameBlob.size();
    checkIndexLimits(recordBase + other.records.size(), blobBase + other.nameBlob.size());
    std::vector<std::uint32_t> newIDs(other.records.size());
    // Range inserts keep the vectors' geometric growth across many merges.
    nameBlob.insert(nameBlob.end(), other.nameBlob.begin(), other.nameBlob.end());
    try {
        records.insert(records.end(), other.records.begin(), other.records.end());
    } catch (...) {
        nameBlob.resize(blobBase);
        throw;
    }
    for (std::size_t j = 0; j < other.records.size(); ++j) {
        FileRecord& r = records[recordBase + j];
        r.nameOffset += static_cast<std::uint32_t>(blobBase);
        r.parentID = r.parentID == FileRecord::rootParentID
                         ? attachingTo
                         : r.parentID + static_cast<std::uint32_t>(recordBase);
        newIDs[j] = static_cast<std::uint32_t>(recordBase + j);
    }
    return newIDs;
}

} // namespace ulmaro
