#include "UlmaroAppKit/Text/UserLocale.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace ulmaro::UserLocale {
namespace {

std::mutex pinMutex;
std::string pinned;
std::atomic<std::uint64_t> pinGeneration{0};

const char* nonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

// "de_DE.UTF-8@euro" → "de_DE"; ICU reads the rest as its own syntax.
std::string fromPosix(const char* category) {
    const char* value = nonEmptyEnv("LC_ALL");
    if (value == nullptr) value = nonEmptyEnv(category);
    if (value == nullptr) value = nonEmptyEnv("LANG");
    std::string_view id = value != nullptr ? value : "C";
    id = id.substr(0, id.find_first_of(".@"));
    if (id.empty() || id == "C" || id == "POSIX") return "en_US_POSIX";
    return std::string(id);
}

std::string forCategory(const char* category) {
    {
        std::lock_guard lock(pinMutex);
        if (!pinned.empty()) return pinned;
    }
    return fromPosix(category);
}

} // namespace

std::string collation() {
    return forCategory("LC_COLLATE");
}
std::string numbers() {
    return forCategory("LC_NUMERIC");
}
std::string times() {
    return forCategory("LC_TIME");
}

void pin(std::string_view localeID) {
    std::lock_guard lock(pinMutex);
    pinned = localeID;
    pinGeneration.fetch_add(1, std::memory_order_release);
}

std::uint64_t generation() {
    return pinGeneration.load(std::memory_order_acquire);
}

} // namespace ulmaro::UserLocale
