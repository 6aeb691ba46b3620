#pragma once

#include <filesystem>

namespace ulmaro {

/// Where the running program and the files it ships sit, found from the program itself so
/// that an installed copy needs no path fixed at build time.
struct ProgramLocation {
    /// The running program's file (/proc/self/exe, links resolved); empty when unreadable.
    static std::filesystem::path executable();

    /// The private library folder of the program at `executable`: "lib/ulmaro" beside the
    /// folder holding it ("/usr/local/bin/lu" → "/usr/local/lib/ulmaro"). The build tree
    /// mirrors this layout, so the same rule serves a program run from it.
    static std::filesystem::path privateLibraryDirectory(const std::filesystem::path& executable);
};

} // namespace ulmaro
