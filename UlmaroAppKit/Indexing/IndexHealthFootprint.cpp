#include "UlmaroAppKit/Indexing/IndexHealth.h"
#include "UlmaroKit/Platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <string>
#include <unistd.h>

namespace ulmaro {
namespace {

// "Name:   1234 kB" → bytes; none when the line is absent or not a number of kB.
std::optional<std::uint64_t> kilobyteField(std::string_view status, std::string_view name) {
    for (std::size_t at = 0; at < status.size();) {
        const auto end = std::min(status.find('\n', at), status.size());
        std::string_view line = status.substr(at, end - at);
        at = end + 1;
        if (!line.starts_with(name) || line.substr(name.size()).substr(0, 1) != ":") continue;
        line.remove_prefix(name.size() + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        std::uint64_t kilobytes = 0;
        auto [rest, error] = std::from_chars(line.data(), line.data() + line.size(), kilobytes);
        if (error != std::errc() || std::string_view(rest, line.data() + line.size()) != " kB" ||
            kilobytes > std::numeric_limits<std::uint64_t>::max() / 1024)
            return std::nullopt;
        return kilobytes * 1024;
    }
    return std::nullopt;
}

} // namespace

std::uint64_t IndexHealth::footprintFromStatus(std::string_view status) {
    const auto anonymous = kilobyteField(status, "RssAnon");
    const auto swapped = kilobyteField(status, "VmSwap");
    if (!anonymous && !swapped) return 0;
    return anonymous.value_or(0) + swapped.value_or(0);
}

std::uint64_t IndexHealth::currentFootprint() {
    // A few kilobytes of text; more than this is not the file we know.
    constexpr std::size_t cap = 64 * 1024;
    UniqueFd fd(::open("/proc/self/status", O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return 0;
    std::string text(cap, '\0');
    std::size_t used = 0;
    while (used < cap) {
        const ssize_t n = ::read(fd.get(), text.data() + used, cap - used);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        used += static_cast<std::size_t>(n);
    }
    text.resize(used);
    return footprintFromStatus(text);
}

} // namespace ulmaro
