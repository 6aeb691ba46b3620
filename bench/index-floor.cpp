// index-floor <index.bin> [populate]: the least a process can do to trust an index. It maps
// the file and hashes every byte with a plain four-lane loop shaped like FastHash64 (same
// multiplications, same dependency chains), and nothing else. Opening an index cannot be
// faster than this, so `lu search` is measured against it. With "populate" the mapping's
// page tables are built by mmap (MAP_POPULATE) instead of by faults during the loop.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint64_t p1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t p2 = 0xC2B2AE3D27D4EB4Full;

inline std::uint64_t load64(const unsigned char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

inline std::uint64_t mix(std::uint64_t acc, std::uint64_t w) {
    return std::rotl(acc + w * p2, 31) * p1;
}

std::uint64_t hash(const unsigned char* p, std::size_t n) {
    std::uint64_t a = 1, b = 2, c = 3, d = 4;
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        a = mix(a, load64(p + i));
        b = mix(b, load64(p + i + 8));
        c = mix(c, load64(p + i + 16));
        d = mix(d, load64(p + i + 24));
    }
    std::uint64_t h = std::rotl(a, 1) + std::rotl(b, 7) + std::rotl(c, 12) + std::rotl(d, 18);
    for (; i < n; ++i)
        h = std::rotl(h ^ p[i], 11) * p1;
    return h;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: index-floor <index.bin> [populate]\n");
        return 2;
    }
    const bool populate = argc > 2 && std::strcmp(argv[2], "populate") == 0;
    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size == 0) {
        std::perror(argv[1]);
        return 1;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    void* map =
        ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | (populate ? MAP_POPULATE : 0), fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) {
        std::perror("mmap");
        return 1;
    }
    std::printf("%016llx\n", static_cast<unsigned long long>(
                                 hash(static_cast<const unsigned char*>(map), size)));
    return 0;
}
