#include "UlmaroKit/Index/AttributeCarryForward.h"

#include "UlmaroKit/Index/FastHash64.h"
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexStore.h"

#include <bit>
#include <deque>
#include <string_view>
#include <utility>

namespace ulmaro {
namespace {

constexpr std::uint32_t noID = FileRecord::rootParentID;

// One side of the pairing: records and name blob, read in place.
struct Side {
    std::span<const FileRecord> records;
    std::string_view blob;

    std::string_view name(std::uint32_t id) const {
        const FileRecord& r = records[id];
        if (std::uint64_t{r.nameOffset} + r.nameLen > blob.size()) return {};
        return blob.substr(r.nameOffset, r.nameLen);
    }
};

// Pairs one group of old siblings with one group of new siblings by exact name bytes; of
// two old siblings with one name the later wins. Small groups are searched from the end,
// large ones through an open-addressing table that is reused from group to group.
class LevelMatcher {
public:
    LevelMatcher(const Side& oldSide, const Side& newSide) : old_(oldSide), new_(newSide) {}

    template <typename Pair>
    void match(std::span<const std::uint32_t> olds, std::span<const std::uint32_t> news,
               Pair&& pair) {
        if (olds.empty() || news.empty()) return;
        if (olds.size() <= smallGroup) {
            for (std::uint32_t n : news) {
                std::string_view name = new_.name(n);
                for (std::size_t i = olds.size(); i-- > 0;) {
                    if (old_.name(olds[i]) == name) {
                        pair(olds[i], n);
                        break;
                    }
                }
            }
            return;
        }
        fillTable(olds);
        for (std::uint32_t n : news) {
            std::string_view name = new_.name(n);
            std::uint64_t h = FastHash64::hash(name);
            for (std::size_t s = h & mask_;; s = (s + 1) & mask_) {
                const Slot& slot = slots_[s];
                if (slot.id == noID) break;
                if (slot.hash == h && old_.name(slot.id) == name) {
                    pair(slot.id, n);
                    break;
                }
            }
        }
        for (std::size_t s : used_)
            slots_[s].id = noID;
        used_.clear();
    }

private:
    static constexpr std::size_t smallGroup = 16;
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t id = noID;
    };

    void fillTable(std::span<const std::uint32_t> olds) {
        std::size_t capacity = std::bit_ceil(olds.size() * 2);
        if (slots_.size() < capacity) {
            slots_.assign(capacity, Slot{});
        }
        mask_ = capacity - 1;
        for (std::uint32_t o : olds) {
            std::string_view name = old_.name(o);
            std::uint64_t h = FastHash64::hash(name);
            for (std::size_t s = h & mask_;; s = (s + 1) & mask_) {
                Slot& slot = slots_[s];
                if (slot.id == noID) {
                    slot = {h, o};
                    used_.push_back(s);
                    break;
                }
                if (slot.hash == h && old_.name(slot.id) == name) {
                    slot.id = o; // the later sibling wins
                    break;
                }
            }
        }
    }

    Side old_;
    Side new_;
    std::vector<Slot> slots_;
    std::vector<std::size_t> used_;
    std::size_t mask_ = 0;
};

std::vector<std::uint32_t> rootsOf(std::span<const FileRecord> records) {
    std::vector<std::uint32_t> roots;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].parentID == noID) roots.push_back(static_cast<std::uint32_t>(i));
    return roots;
}

} // namespace

AttributeCarryForward::CSR AttributeCarryForward::CSR::build(std::span<const FileRecord> records,
                                                             bool skipDeleted) {
    const std::size_t n = records.size();
    CSR csr;
    csr.offsets.assign(n + 1, 0);
    auto isChild = [&](const FileRecord& r) {
        return r.parentID < n && !(skipDeleted && r.flags.contains(RecordFlags::deleted));
    };
    for (const FileRecord& r : records)
        if (isChild(r)) ++csr.offsets[r.parentID + 1];
    for (std::size_t i = 0; i < n; ++i)
        csr.offsets[i + 1] += csr.offsets[i];
    csr.childIDs.resize(csr.offsets[n]);
    std::vector<std::uint32_t> cursor(csr.offsets.begin(), csr.offsets.end() - 1);
    for (std::size_t i = 0; i < n; ++i)
        if (isChild(records[i]))
            csr.childIDs[cursor[records[i].parentID]++] = static_cast<std::uint32_t>(i);
    return csr;
}

std::span<const std::uint32_t> AttributeCarryForward::CSR::ids(std::uint32_t id) const {
    if (std::uint64_t{id} + 1 >= offsets.size()) return {};
    return std::span(childIDs).subspan(offsets[id], offsets[id + 1] - offsets[id]);
}

std::int64_t AttributeCarryForward::carry(const IndexStore& previous, IndexBuilder& builder) {
    if (previous.count() == 0 || builder.records.empty()) return 0;
    Side oldSide{previous.recordSpan(), previous.nameBlob()};
    Side newSide{builder.records,
                 {reinterpret_cast<const char*>(builder.nameBlob.data()), builder.nameBlob.size()}};
    CSR oldChildren = CSR::build(oldSide.records);
    CSR newChildren = CSR::build(newSide.records);

    std::int64_t carried = 0;
    std::deque<std::pair<std::uint32_t, std::uint32_t>> queue;
    FileRecord* records = builder.records.data();
    auto pair = [&](std::uint32_t o, std::uint32_t n) {
        const FileRecord& from = oldSide.records[o];
        FileRecord& to = records[n];
        if (from.flags.contains(RecordFlags::attrsFilled)) {
            to.size = from.size;
            to.mtime = from.mtime;
            to.flags.insert(RecordFlags::attrsFilled);
            ++carried;
        }
        if (from.flags.contains(RecordFlags::isDirectory) &&
            to.flags.contains(RecordFlags::isDirectory))
            queue.emplace_back(o, n);
    };

    LevelMatcher matcher(oldSide, newSide);
    matcher.match(rootsOf(oldSide.records), rootsOf(newSide.records), pair);
    while (!queue.empty()) {
        auto [o, n] = queue.front();
        queue.pop_front();
        matcher.match(oldChildren.ids(o), newChildren.ids(n), pair);
    }
    return carried;
}

} // namespace ulmaro
