#pragma once

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace ulmaro {

/// The settings file's text: one JSON object, read defensively and written for people to
/// edit. Nothing a hand editor or a broken disk leaves there makes reading fail: at worst
/// the file reads as damaged.
struct SettingsFile {
    /// A larger file is damaged: settings are small, and we never load a huge file.
    static constexpr std::uint64_t maxBytes = 4 * 1024 * 1024;
    /// Deeper nesting is damaged, so no later walk of a value can exhaust the stack.
    static constexpr int maxDepth = 64;

    /// `unreadable`: the file is there but could not be read just now; what it holds is
    /// unknown, so it must neither be replaced nor kept aside as damaged.
    enum class State { missing, valid, damaged, unreadable };
    struct Contents {
        State state = State::missing;
        /// The object when valid, else empty.
        nlohmann::json object = nlohmann::json::object();
        /// Why it is damaged or unreadable, for the log line.
        std::string problem;
    };

    /// Opens without blocking and reads only a regular file of at most `maxBytes`.
    static Contents read(const std::filesystem::path& path);
    /// Parses the text of a settings file. Bytes that are not UTF-8 read as U+FFFD; a
    /// number beyond the range of a double reads as null, so one bad value does not cost
    /// every other key; text with only white space is an empty object.
    static Contents parse(std::string_view text);
    /// Pretty-printed with sorted keys and a final line feed. Never throws on text that is
    /// not UTF-8: such bytes are written as U+FFFD.
    static std::string text(const nlohmann::json& object);
};

} // namespace ulmaro
