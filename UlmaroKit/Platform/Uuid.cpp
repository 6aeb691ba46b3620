#include "UlmaroKit/Platform/Uuid.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <sys/random.h>
#include <system_error>

namespace ulmaro {

std::string uuidString() {
    std::array<unsigned char, 16> b{};
    if (::getrandom(b.data(), b.size(), 0) != static_cast<ssize_t>(b.size()))
        throw std::system_error(errno, std::generic_category(), "getrandom");
    b[6] = (b[6] & 0x0F) | 0x40;
    b[8] = (b[8] & 0x3F) | 0x80;
    char text[37];
    std::snprintf(text, sizeof text,
                  "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

} // namespace ulmaro
