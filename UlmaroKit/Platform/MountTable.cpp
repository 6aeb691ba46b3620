#include "UlmaroKit/Platform/MountTable.h"

#include "UlmaroKit/Platform/UniqueFd.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <unistd.h>
#include <unordered_map>

namespace ulmaro {
namespace {

// A mount table is a few kilobytes; anything far larger is not one.
constexpr std::size_t maxTableBytes = 16 * 1024 * 1024;

std::string unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
            if (isOctal(field[i + 1]) && isOctal(field[i + 2]) && isOctal(field[i + 3])) {
                int value =
                    (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
                if (value <= 0xFF) {
                    out.push_back(static_cast<char>(value));
                    i += 3;
                    continue;
                }
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

template <typename T>
bool parseNumber(std::string_view text, T& value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parseLine(std::string_view line, MountEntry& entry) {
    // ID PARENT MAJOR:MINOR ROOT MOUNTPOINT OPTIONS [OPTIONAL…] - TYPE SOURCE SUPEROPTIONS
    auto fields = splitFields(line);
    if (fields.size() < 9) return false;
    auto separator = std::find(fields.begin() + 6, fields.end(), std::string_view("-"));
    if (separator == fields.end() || fields.end() - separator < 3) return false;
    auto colon = fields[2].find(':');
    if (colon == std::string_view::npos) return false;
    if (!parseNumber(fields[0], entry.mountID) || !parseNumber(fields[1], entry.parentID) ||
        !parseNumber(fields[2].substr(0, colon), entry.major) ||
        !parseNumber(fields[2].substr(colon + 1), entry.minor))
        return false;
    entry.root = unescape(fields[3]);
    entry.mountPoint = unescape(fields[4]);
    entry.fileSystemType = unescape(separator[1]);
    entry.source = unescape(separator[2]);
    // Split before unescaping: a comma inside a value is escaped ("\054").
    if (fields.end() - separator > 3) {
        std::string_view options = separator[3];
        while (!options.empty()) {
            std::size_t comma = options.find(',');
            std::string_view option = options.substr(0, comma);
            if (!option.empty()) entry.superOptions.push_back(unescape(option));
            options =
                comma == std::string_view::npos ? std::string_view() : options.substr(comma + 1);
        }
    }
    return !entry.mountPoint.empty() && entry.mountPoint.front() == '/';
}

} // namespace

std::optional<std::string> MountEntry::superOption(std::string_view name) const {
    for (const std::string& option : superOptions) {
        std::string_view key = std::string_view(option).substr(0, option.find('='));
        if (key != name) continue;
        return key.size() < option.size() ? option.substr(key.size() + 1) : std::string();
    }
    return std::nullopt;
}

bool MountEntry::showsWholeFileSystem() const {
    if (root == "/") return true;
    return fileSystemType == "btrfs" && superOption("subvol") == root;
}

std::vector<MountEntry> MountTable::parse(std::string_view text) {
    std::vector<MountEntry> entries;
    while (!text.empty()) {
        auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        MountEntry entry;
        if (parseLine(line, entry)) entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<MountEntry> MountTable::topMounts(std::span<const MountEntry> entries) {
    // A mount over another is its child at the same path; the kernel lists it later.
    std::unordered_map<std::string_view, std::size_t> top;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto [slot, fresh] = top.try_emplace(entries[i].mountPoint, i);
        if (!fresh && entries[slot->second].parentID != entries[i].mountID) slot->second = i;
    }
    std::vector<MountEntry> result;
    result.reserve(top.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (top.at(entries[i].mountPoint) == i) result.push_back(entries[i]);
    return result;
}

std::vector<MountEntry> MountTable::read(const std::filesystem::path& path) {
    // Files under /proc report a size of 0, so read until the end rather than mapping.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return {};
    std::string text;
    std::array<char, 65536> buffer;
    while (text.size() < maxTableBytes) {
        ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer.data(), static_cast<std::size_t>(n));
    }
    return parse(text);
}

} // namespace ulmaro
