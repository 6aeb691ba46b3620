// FastHash64 throughput on one core, and the cost of opening a large index (one sweep that
// hashes and checks every record) next to hashing the same bytes alone.

#include "UlmaroKit/Index/FastHash64.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Platform/MappedFile.h"

#include <benchmark/benchmark.h>
#include <bit>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdlib.h>
#include <string>
#include <vector>

namespace ulmaro {
namespace {

std::vector<unsigned char> randomBytes(std::size_t n) {
    std::vector<unsigned char> bytes(n);
    std::uint64_t x = 0x9E3779B97F4A7C15ull;
    for (std::size_t i = 0; i + 8 <= n; i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        std::memcpy(bytes.data() + i, &x, 8);
    }
    return bytes;
}

// The plain four-lane loop of bench/index-floor, FastHash64's shape with nothing around it:
// the speed that FastHash64 and the opening sweep are held to.
std::uint64_t plainFourLaneLoop(const unsigned char* p, std::size_t n) {
    constexpr std::uint64_t p1 = FastHash64::p1, p2 = FastHash64::p2;
    auto mix = [](std::uint64_t acc, const unsigned char* at) {
        std::uint64_t w;
        std::memcpy(&w, at, sizeof w);
        return std::rotl(acc + w * p2, 31) * p1;
    };
    std::uint64_t a = 1, b = 2, c = 3, d = 4;
    for (std::size_t i = 0; i + 32 <= n; i += 32) {
        a = mix(a, p + i);
        b = mix(b, p + i + 8);
        c = mix(c, p + i + 16);
        d = mix(d, p + i + 24);
    }
    return a ^ b ^ c ^ d;
}

void BM_PlainLoop_256MiB(benchmark::State& state) {
    static const auto bytes = randomBytes(std::size_t{256} << 20);
    for (auto _ : state)
        benchmark::DoNotOptimize(plainFourLaneLoop(bytes.data(), bytes.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_PlainLoop_256MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FastHash64_256MiB(benchmark::State& state) {
    static const auto bytes = randomBytes(std::size_t{256} << 20);
    for (auto _ : state)
        benchmark::DoNotOptimize(FastHash64::hash(bytes));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_FastHash64_256MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

// A synthetic scan: "/" ← 2000 folders ← 999 or 1000 files each, 2,000,000 records in all.
class SyntheticIndex {
public:
    static constexpr std::size_t recordCount = 2'000'000;

    SyntheticIndex() {
        std::string pattern = (std::filesystem::temp_directory_path() / "ulmaro-bench-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        folder_ = pattern;
        IndexBuilder b(recordCount, recordCount * 16);
        auto root = b.addEntry("", FileRecord::rootParentID, RecordFlags::isDirectory, 0);
        std::uint32_t folder = root;
        char name[32];
        for (std::size_t i = 1; i < recordCount; ++i) {
            if (i % 1000 == 1) {
                std::snprintf(name, sizeof name, "folder-%zu", i / 1000);
                folder = b.addEntry(name, root, RecordFlags::isDirectory, 0);
            } else {
                std::snprintf(name, sizeof name, "document-%zu.txt", i);
                auto id = b.addEntry(name, folder, {}, 0);
                b.setAttributes(id, i * 37, static_cast<std::uint32_t>(1'600'000'000 + i));
            }
        }
        IndexWriter::write(b, {}, path());
        checksummedBytes_ = b.records.size() * sizeof(FileRecord) + b.nameBlob.size();
        image_.resize(checksummedBytes_);
        std::memcpy(image_.data(), b.records.data(), b.records.size() * sizeof(FileRecord));
        std::memcpy(image_.data() + b.records.size() * sizeof(FileRecord), b.nameBlob.data(),
                    b.nameBlob.size());
    }
    ~SyntheticIndex() { std::filesystem::remove_all(folder_); }

    std::filesystem::path path() const { return folder_ / "index.bin"; }
    /// Records and names, as the checksum covers them, in ordinary memory.
    const std::vector<unsigned char>& image() const { return image_; }

    static const SyntheticIndex& shared() {
        static const SyntheticIndex index;
        return index;
    }

private:
    std::filesystem::path folder_;
    std::size_t checksummedBytes_ = 0;
    std::vector<unsigned char> image_;
};

void BM_HashAlone_2MRecords(benchmark::State& state) {
    const auto& image = SyntheticIndex::shared().image();
    for (auto _ : state)
        benchmark::DoNotOptimize(FastHash64::hash(image));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}
BENCHMARK(BM_HashAlone_2MRecords)->Unit(benchmark::kMillisecond)->UseRealTime();

// Hashing the same bytes through a fresh mapping: what opening costs beyond the hash is the
// kernel's work of mapping the file, measured here apart from the checks.
void BM_MapAndHash_2MRecords(benchmark::State& state) {
    const auto& index = SyntheticIndex::shared();
    for (auto _ : state) {
        auto file = MappedFile::open(index.path(), {.populate = true});
        benchmark::DoNotOptimize(FastHash64::hash(file.bytes().subspan(IndexHeader::byteSize)));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * index.image().size()));
}
BENCHMARK(BM_MapAndHash_2MRecords)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_IndexStoreOpen_2MRecords(benchmark::State& state) {
    const auto& index = SyntheticIndex::shared();
    for (auto _ : state) {
        IndexStore store(index.path());
        benchmark::DoNotOptimize(store.count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * index.image().size()));
}
BENCHMARK(BM_IndexStoreOpen_2MRecords)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace ulmaro

BENCHMARK_MAIN();
