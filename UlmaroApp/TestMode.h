#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace ulmaro {

/// What end-to-end tests set in the environment, and nothing else reads. Each is off unless
/// its variable is set and not empty.
namespace TestMode {

/// ULMARO_TEST_SCAN_ROOT: the folder indexed in place of "/".
std::optional<std::string> scanRoot();
/// ULMARO_TEST_OPEN_LOG: the file opened paths are appended to instead of being opened.
std::optional<std::filesystem::path> openLog();
/// ULMARO_TEST_PROBE: the file that gets a line per panel show or hide, per result list,
/// and when the index first becomes searchable.
std::optional<std::filesystem::path> probePath();

/// ULMARO_TEST_PROBE_TIMES, beside the probe file: each line starts with the time of
/// CLOCK_MONOTONIC in microseconds, and the steps of start-up, the panel's key presses and
/// its finished paints get lines too (`mark`), for the application benchmarks in bench/.
bool probeTimes();

/// Appends `line` to the probe file, when there is one.
void probe(const std::string& line);
/// Appends `line` only when times are asked for.
void mark(const std::string& line);

/// The time probe lines start with: CLOCK_MONOTONIC in microseconds, the clock the benchmark
/// scripts read too (Python's `time.monotonic_ns`).
std::string monotonicMicroseconds();
/// Appends `line` and a line break to `file`.
void appendLine(const std::filesystem::path& file, const std::string& line);

} // namespace TestMode

} // namespace ulmaro
