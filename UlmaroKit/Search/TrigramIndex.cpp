#include "UlmaroKit/Search/TrigramIndex.h"

#include "UlmaroKit/Platform/AtomicFile.h"
#include "UlmaroKit/Platform/MappedFile.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>

namespace ulmaro {
namespace {

static_assert(std::endian::native == std::endian::little,
              "the cache file is the in-memory layout written out as-is");

constexpr std::size_t tableEntries = std::size_t{1} << 24;
constexpr std::uint32_t keyMask = 0xFFFFFF;
constexpr std::uint32_t cancelPollInterval = 65536;
constexpr std::size_t headerWords = 8;

inline std::uint32_t fold(unsigned char b) {
    return static_cast<std::uint32_t>(b - 'A') < 26u ? b | 0x20u : b;
}

/// Calls visit(key) for each of the name's trigrams, in order.
template <typename Visit>
inline void forEachTrigram(std::string_view name, Visit&& visit) {
    if (name.size() < TrigramIndex::minNeedleLength) return;
    const auto* p = reinterpret_cast<const unsigned char*>(name.data());
    std::uint32_t key = (fold(p[0]) << 8) | fold(p[1]);
    for (std::size_t i = 2; i < name.size(); ++i) {
        key = ((key << 8) | fold(p[i])) & keyMask;
        visit(key);
    }
}

// calloc, not value-initialised new: the kernel hands out zero pages lazily, so only the
// pages of keys that occur are ever touched.
struct FreeDeleter {
    void operator()(std::uint32_t* p) const { std::free(p); }
};
using Table = std::unique_ptr<std::uint32_t[], FreeDeleter>;

Table makeTable() {
    auto* p = static_cast<std::uint32_t*>(std::calloc(tableEntries, sizeof(std::uint32_t)));
    if (p == nullptr) throw std::bad_alloc();
    return Table(p);
}

/// Intersects two ascending lists into `running`, in place.
void intersectInto(std::vector<std::uint32_t>& running, std::span<const std::uint32_t> other) {
    std::size_t out = 0;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < running.size() && j < other.size()) {
        if (running[i] < other[j]) {
            ++i;
        } else if (other[j] < running[i]) {
            ++j;
        } else {
            running[out++] = running[i];
            ++i;
            ++j;
        }
    }
    running.resize(out);
}

// The arrays of a built index.
struct OwnedArrays {
    std::vector<std::uint32_t> keys;
    std::vector<std::uint32_t> starts;
    std::vector<std::uint32_t> postings;
};

std::uint32_t readWord(const unsigned char* p) {
    std::uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

} // namespace

std::optional<TrigramIndex> TrigramIndex::build(const NameSource& names, std::uint32_t count,
                                                const std::function<bool()>& isCancelled) {
    TrigramIndex index;
    index.blockCount_ = blockCountFor(count);

    Table stamps = makeTable();
    Table counters = makeTable();
    std::vector<std::uint32_t> keys;
    keys.reserve(100000);

    for (std::uint32_t id = 0; id < count; ++id) {
        if (id % cancelPollInterval == 0 && isCancelled && isCancelled()) return std::nullopt;
        const std::uint32_t marker = (id >> 10) + 1;
        forEachTrigram(names(id), [&](std::uint32_t key) {
            if (stamps[key] == marker) return;
            stamps[key] = marker;
            if (counters[key]++ == 0) keys.push_back(key);
        });
    }

    std::sort(keys.begin(), keys.end());

    auto arrays = std::make_shared<OwnedArrays>();
    std::vector<std::uint32_t>& starts = arrays->starts;
    std::vector<std::uint32_t>& postings = arrays->postings;
    starts.reserve(keys.size() + 1);
    std::uint64_t total = 0;
    for (std::uint32_t key : keys) {
        starts.push_back(static_cast<std::uint32_t>(total));
        const std::uint32_t blocks = counters[key];
        counters[key] = static_cast<std::uint32_t>(total);
        total += blocks;
        if (total > std::numeric_limits<std::uint32_t>::max())
            throw std::length_error("trigram postings exceed 32-bit counts");
    }
    starts.push_back(static_cast<std::uint32_t>(total));
    postings.assign(total, 0);

    // Markers of the second pass start above every marker of the first, so the stamp
    // table needs no clearing; ascending record order makes every run ascending and unique.
    // A source that answered differently in the first pass cannot make us write outside
    // the postings.
    const std::uint32_t secondBase = index.blockCount_ + 2;
    const auto postingCount = static_cast<std::uint32_t>(total);
    for (std::uint32_t id = 0; id < count; ++id) {
        const std::uint32_t block = id >> 10;
        const std::uint32_t marker = secondBase + block;
        forEachTrigram(names(id), [&](std::uint32_t key) {
            if (stamps[key] == marker) return;
            stamps[key] = marker;
            if (counters[key] < postingCount) postings[counters[key]++] = block;
        });
    }

    arrays->keys = std::move(keys);
    index.keys_ = arrays->keys;
    index.postingStart_ = starts;
    index.postings_ = postings;
    index.storage_ = std::move(arrays);
    return index;
}

std::span<const std::uint32_t> TrigramIndex::blocksFor(std::uint32_t key) const {
    auto it = std::lower_bound(keys_.begin(), keys_.end(), key);
    if (it == keys_.end() || *it != key) return {};
    const auto i = static_cast<std::size_t>(it - keys_.begin());
    return postings_.subspan(postingStart_[i], postingStart_[i + 1] - postingStart_[i]);
}

std::optional<std::vector<std::uint32_t>>
TrigramIndex::candidateBlocks(std::string_view needle) const {
    if (needle.size() < minNeedleLength) return std::nullopt;

    std::vector<std::span<const std::uint32_t>> slices;
    slices.reserve(needle.size() - 2);
    bool missing = false;
    forEachTrigram(needle, [&](std::uint32_t key) {
        if (missing) return;
        auto slice = blocksFor(key);
        if (slice.empty())
            missing = true;
        else
            slices.push_back(slice);
    });
    if (missing) return std::vector<std::uint32_t>{};

    // Starting from the rarest trigram bounds the work by its list.
    std::stable_sort(slices.begin(), slices.end(),
                     [](const auto& a, const auto& b) { return a.size() < b.size(); });
    std::vector<std::uint32_t> running(slices.front().begin(), slices.front().end());
    for (std::size_t i = 1; i < slices.size(); ++i) {
        intersectInto(running, slices[i]);
        if (running.empty()) return running;
    }

    const double blocks = blockCount_ == 0 ? 1.0 : static_cast<double>(blockCount_);
    if (static_cast<double>(running.size()) / blocks <= usefulnessThreshold) return running;
    return std::nullopt;
}

TrigramIndex::RecordRange TrigramIndex::range(std::uint32_t block, std::uint32_t recordCount) {
    const std::uint64_t begin = std::uint64_t{block} * blockSize;
    const std::uint64_t end = std::min<std::uint64_t>(begin + blockSize, recordCount);
    return {static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(end)};
}

bool TrigramIndex::operator==(const TrigramIndex& other) const {
    return blockCount_ == other.blockCount_ && std::ranges::equal(keys_, other.keys_) &&
           std::ranges::equal(postingStart_, other.postingStart_) &&
           std::ranges::equal(postings_, other.postings_);
}

void TrigramIndex::write(const std::filesystem::path& path, std::uint64_t storeChecksum) const {
    // The writer would create a missing folder; a vanished catalog folder must stay gone.
    const auto folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    if (!std::filesystem::is_directory(folder))
        throw std::system_error(ENOENT, std::generic_category(), folder.string());

    std::vector<std::uint32_t> words;
    words.reserve(headerWords + keys_.size() + postingStart_.size() + postings_.size());
    words.push_back(cacheMagic);
    words.push_back(cacheVersion);
    words.push_back(static_cast<std::uint32_t>(storeChecksum));
    words.push_back(static_cast<std::uint32_t>(storeChecksum >> 32));
    words.push_back(blockCount_);
    words.push_back(static_cast<std::uint32_t>(keys_.size()));
    words.push_back(static_cast<std::uint32_t>(postings_.size()));
    words.push_back(0);
    words.insert(words.end(), keys_.begin(), keys_.end());
    words.insert(words.end(), postingStart_.begin(), postingStart_.end());
    words.insert(words.end(), postings_.begin(), postings_.end());

    // Renamed over the old cache in one step: a reader sees the old file or the new one.
    AtomicFileWriter writer(path, ".tmp");
    writer.write(std::span(reinterpret_cast<const unsigned char*>(words.data()),
                           words.size() * sizeof(std::uint32_t)));
    writer.commit();
}

std::optional<TrigramIndex> TrigramIndex::load(const std::filesystem::path& path,
                                               std::uint64_t storeChecksum,
                                               std::uint32_t recordCount) noexcept {
    try {
        auto file = MappedFile::tryOpen(path, MappedFile::Options{});
        if (!file || file->size() < headerWords * 4) return std::nullopt;
        const unsigned char* bytes = file->data();

        const std::uint64_t checksum =
            readWord(bytes + 8) | (std::uint64_t{readWord(bytes + 12)} << 32);
        if (readWord(bytes) != cacheMagic || readWord(bytes + 4) != cacheVersion ||
            checksum != storeChecksum)
            return std::nullopt;

        const std::uint32_t blockCount = readWord(bytes + 16);
        const std::uint64_t keyCount = readWord(bytes + 20);
        const std::uint64_t postingCount = readWord(bytes + 24);
        if (blockCount != blockCountFor(recordCount)) return std::nullopt;
        if (file->size() / 4 != headerWords + 1 + 2 * keyCount + postingCount) return std::nullopt;

        // The mapping is page-aligned and every array starts on a word.
        const auto* words = reinterpret_cast<const std::uint32_t*>(bytes) + headerWords;
        std::span<const std::uint32_t> keys(words, keyCount);
        std::span<const std::uint32_t> starts(words + keyCount, keyCount + 1);
        std::span<const std::uint32_t> postings(words + 2 * keyCount + 1, postingCount);

        // Check everything before trusting any of it: a lookup indexes postings by these
        // starts, and the matcher turns block numbers into record ranges.
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] > keyMask || (i > 0 && keys[i] <= keys[i - 1])) return std::nullopt;
        }
        if (starts.front() != 0 || starts.back() != postingCount) return std::nullopt;
        for (std::size_t i = 0; i < keyCount; ++i) {
            if (starts[i + 1] < starts[i]) return std::nullopt;
        }
        for (std::size_t i = 0; i < keyCount; ++i) {
            for (std::uint32_t p = starts[i]; p < starts[i + 1]; ++p) {
                if (postings[p] >= blockCount) return std::nullopt;
                if (p > starts[i] && postings[p] <= postings[p - 1]) return std::nullopt;
            }
        }

        TrigramIndex index;
        index.keys_ = keys;
        index.postingStart_ = starts;
        index.postings_ = postings;
        index.blockCount_ = blockCount;
        index.storage_ = std::make_shared<const MappedFile>(std::move(*file));
        return index;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace ulmaro
