#include "UlmaroAppKit/Indexing/IndexCoordinator.h"

#include <array>

namespace ulmaro {

namespace {

// Each fragment carries both slashes, so a file named "Caches.txt" is not noise. The last
// three are Linux's own: the XDG cache and the trash folders.
constexpr std::array<std::string_view, 19> highChurnFragments = {
    "/Caches/",        "/PersistentCache/", "/DerivedData/",
    "/CoreSimulator/", "/Biome/",           "/DuetExpertCenter/",
    "/.build/",        "/node_modules/",    "/.git/",
    "/.gradle/",       "/__pycache__/",     "/Pods/",
    "/.venv/",         "/.next/",           "/.swiftpm/",
    "/.stack-work/",   "/.cache/",          "/.local/share/Trash/",
    "/.Trash-",
};

} // namespace

bool IndexCoordinator::isHighChurnNoise(std::string_view path) {
    for (std::string_view fragment : highChurnFragments) {
        if (path.find(fragment) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

} // namespace ulmaro
