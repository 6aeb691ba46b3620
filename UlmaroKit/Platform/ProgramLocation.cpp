#include "UlmaroKit/Platform/ProgramLocation.h"

namespace ulmaro {

std::filesystem::path ProgramLocation::executable() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : path;
}

std::filesystem::path
ProgramLocation::privateLibraryDirectory(const std::filesystem::path& executable) {
    if (executable.empty()) return {};
    // ULMARO_PRIVATE_LIBDIR is relative to the install prefix, one level above the program.
    auto prefix = executable.lexically_normal().parent_path().parent_path();
    return (prefix / ULMARO_PRIVATE_LIBDIR).lexically_normal();
}

} // namespace ulmaro
