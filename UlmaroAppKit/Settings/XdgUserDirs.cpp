#include "UlmaroAppKit/Settings/XdgUserDirs.h"

#include "UlmaroAppKit/Platform/SmallFile.h"
#include "UlmaroKit/Platform/DataLocations.h"

namespace ulmaro {
namespace {

constexpr std::uint64_t maxFileBytes = 64 * 1024;

std::string_view skipBlanks(std::string_view s) {
    auto start = s.find_first_not_of(" \t");
    return start == std::string_view::npos ? std::string_view() : s.substr(start);
}

// The value of one `XDG_<name>_DIR="…"` line, or nothing when the line is another one.
std::optional<std::string> valueOf(std::string_view line, std::string_view name,
                                   std::string_view home) {
    line = skipBlanks(line);
    std::string variable = "XDG_" + std::string(name) + "_DIR";
    if (!line.starts_with(variable)) return std::nullopt;
    line = skipBlanks(line.substr(variable.size()));
    if (!line.starts_with('=')) return std::nullopt;
    line = skipBlanks(line.substr(1));
    if (!line.starts_with('"')) return std::nullopt;
    line.remove_prefix(1);

    std::string value;
    if (line.starts_with("$HOME") && (line.size() == 5 || line[5] == '/' || line[5] == '"')) {
        value = home;
        line.remove_prefix(5);
    } else if (!line.starts_with('/')) {
        return std::nullopt;
    }
    std::string rest;
    for (std::size_t i = 0;; ++i) {
        if (i >= line.size()) return std::nullopt; // no closing quote
        if (line[i] == '"') break;
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        rest.push_back(line[i]);
    }
    if (!value.empty()) {
        while (rest.starts_with('/'))
            rest.erase(0, 1);
        if (rest.empty()) return std::string(); // the home folder: not set up
        if (!value.ends_with('/')) value.push_back('/');
    }
    return value + rest;
}

} // namespace

std::optional<std::string> XdgUserDirs::find(std::string_view text, std::string_view name,
                                             std::string_view home) {
    std::optional<std::string> found;
    while (!text.empty()) {
        auto end = text.find('\n');
        auto line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (auto value = valueOf(line, name, home)) found = std::move(value);
    }
    if (found && found->empty()) return std::nullopt;
    return found;
}

std::optional<std::string> XdgUserDirs::find(std::string_view name) {
    // The config folder's parent is XDG_CONFIG_HOME under the same rule.
    auto file = DataLocations::configDirectory().parent_path() / "user-dirs.dirs";
    auto contents = SmallFile::read(file, maxFileBytes);
    if (contents.status != SmallFile::Status::read) return std::nullopt;
    return find(contents.bytes, name, DataLocations::homeDirectory().string());
}

} // namespace ulmaro
