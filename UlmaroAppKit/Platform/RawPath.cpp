#include "UlmaroAppKit/Platform/RawPath.h"

#include "UlmaroKit/Platform/Utf8.h"

#include <dirent.h>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace ulmaro {
namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD";

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

/// The text with every run of U+FFFD made one, so that decoders that replace bad bytes one
/// by one or by maximal subparts compare equal.
std::string collapsed(std::string_view text) {
    std::string out;
    bool lastWasReplacement = false;
    while (!text.empty()) {
        if (text.starts_with(replacement)) {
            if (!lastWasReplacement) out += replacement;
            lastWasReplacement = true;
            text.remove_prefix(replacement.size());
            continue;
        }
        lastWasReplacement = false;
        out += text.front();
        text.remove_prefix(1);
    }
    return out;
}

/// The one entry of `folder` whose repaired name reads as `shown`.
std::optional<std::string> entryReadAs(const std::string& folder, std::string_view shown) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "/" : folder.c_str()),
                                            ::closedir);
    if (!dir) return std::nullopt;
    const std::string wanted = collapsed(shown);
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (isValidUtf8(name) || collapsed(repairUtf8(name)) != wanted) continue;
        if (found) return std::nullopt; // two names read alike: which one cannot be told
        found = std::string(name);
    }
    return found;
}

} // namespace

std::string rawPathOf(std::string_view shownPath) {
    const std::string asWritten(shownPath);
    if (shownPath.empty() || shownPath.front() != '/' ||
        shownPath.find(replacement) == std::string_view::npos || exists(asWritten))
        return asWritten;
    std::string raw;
    std::string_view rest = shownPath.substr(1);
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const std::string_view component = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (component.empty()) continue;
        std::string next = raw + "/" + std::string(component);
        if (!exists(next) && component.find(replacement) != std::string_view::npos) {
            const auto entry = entryReadAs(raw, component);
            if (!entry) return asWritten;
            next = raw + "/" + *entry;
        }
        raw = std::move(next);
    }
    return raw.empty() ? asWritten : raw;
}

} // namespace ulmaro
