#pragma once

// What the fuzz targets share: a scratch folder for readers that take a path, and a way to
// stop on a broken promise so that libFuzzer keeps the input (and a replay fails on it).

#include "support/TempDir.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string_view>

namespace ulmaro::fuzz {

/// This process's own folder under $TMPDIR, removed when the process ends.
inline const std::filesystem::path& scratchFolder() {
    static const test::TempDir folder;
    return folder.path();
}

/// A promise of the code under test did not hold: say which, and stop.
[[noreturn]] inline void fail(std::string_view what) {
    std::fprintf(stderr, "fuzz check failed: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
}

inline void check(bool holds, std::string_view what) {
    if (!holds) fail(what);
}

/// Replaces `name` in the scratch folder with `bytes` and answers its path.
inline std::filesystem::path writeScratchFile(std::string_view name,
                                              std::span<const std::uint8_t> bytes) {
    std::filesystem::path path = scratchFolder() / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    check(static_cast<bool>(out.flush()), "cannot write the scratch file");
    return path;
}

inline std::string_view text(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

} // namespace ulmaro::fuzz
