#include "UlmaroApp/TestMode.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>

namespace ulmaro {
namespace TestMode {
namespace {

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

} // namespace

void appendLine(const std::filesystem::path& file, const std::string& line) {
    std::ofstream out(file, std::ios::app);
    out << line << '\n';
}

std::string monotonicMicroseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::to_string(std::int64_t(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000);
}

std::optional<std::string> scanRoot() {
    return variable("ULMARO_TEST_SCAN_ROOT");
}

std::optional<std::filesystem::path> openLog() {
    return variable("ULMARO_TEST_OPEN_LOG");
}

std::optional<std::filesystem::path> probePath() {
    return variable("ULMARO_TEST_PROBE");
}

bool probeTimes() {
    static const bool asked = variable("ULMARO_TEST_PROBE_TIMES").has_value();
    return asked;
}

void probe(const std::string& line) {
    const auto file = probePath();
    if (!file) return;
    if (!probeTimes()) return appendLine(*file, line);
    // Every line of a write gets the time, so that each still starts with it.
    const std::string stamp = monotonicMicroseconds() + " ";
    std::string stamped = stamp + line;
    for (std::size_t at = stamped.find('\n'); at != std::string::npos;
         at = stamped.find('\n', at + 1))
        stamped.insert(at + 1, stamp);
    appendLine(*file, stamped);
}

void mark(const std::string& line) {
    if (probeTimes()) probe(line);
}

} // namespace TestMode

} // namespace ulmaro
