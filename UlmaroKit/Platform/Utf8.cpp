#include "UlmaroKit/Platform/Utf8.h"

#include <cstdint>

namespace ulmaro {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed sequence starting at s[i], or 0 when it is not one.
// On 0, `*maximal` is the length of the maximal subpart to replace (at least 1).
std::size_t sequenceLength(std::string_view s, std::size_t i, std::size_t* maximal) {
    auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
    std::uint8_t b0 = byte(i);
    *maximal = 1;
    if (b0 < 0x80) return 1;
    std::size_t need;
    std::uint8_t lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 3;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 4;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    for (std::size_t k = 1; k < need; ++k) {
        if (i + k >= s.size()) return 0;
        std::uint8_t b = byte(i + k);
        bool ok = k == 1 ? (b >= lo && b <= hi) : (b >= 0x80 && b <= 0xBF);
        if (!ok) return 0;
        *maximal = k + 1;
    }
    return need;
}

} // namespace

bool isValidUtf8(std::string_view bytes) {
    std::size_t i = 0, n = bytes.size();
    while (i < n) {
        // Fast path over ASCII, eight bytes at a time.
        while (i + 8 <= n) {
            std::uint64_t w;
            __builtin_memcpy(&w, bytes.data() + i, 8);
            if (w & 0x8080808080808080ull) break;
            i += 8;
        }
        if (i >= n) break;
        if (static_cast<std::uint8_t>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        std::size_t maximal;
        std::size_t len = sequenceLength(bytes, i, &maximal);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

void appendRepairedUtf8(std::string& out, std::string_view bytes) {
    std::size_t i = 0, n = bytes.size(), runStart = 0;
    while (i < n) {
        if (static_cast<std::uint8_t>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        std::size_t maximal;
        std::size_t len = sequenceLength(bytes, i, &maximal);
        if (len != 0) {
            i += len;
            continue;
        }
        out.append(bytes.data() + runStart, i - runStart);
        out.append(kReplacement);
        i += maximal;
        runStart = i;
    }
    out.append(bytes.data() + runStart, n - runStart);
}

std::string repairUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    appendRepairedUtf8(out, bytes);
    return out;
}

} // namespace ulmaro
