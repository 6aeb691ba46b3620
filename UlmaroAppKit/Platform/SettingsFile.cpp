#include "UlmaroAppKit/Platform/SettingsFile.h"

#include "UlmaroAppKit/Platform/SmallFile.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <algorithm>
#include <charconv>

namespace ulmaro {
namespace {

using Contents = SettingsFile::Contents;

Contents damaged(std::string problem) {
    Contents c;
    c.state = SettingsFile::State::damaged;
    c.problem = std::move(problem);
    return c;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether a JSON number token lies beyond the range of a double, which the parser refuses
// outright. Judged by decimal order of magnitude, and at the boundary by `from_chars`;
// tokens that are not JSON numbers are left for the parser to refuse.
bool overflowsDouble(std::string_view token) {
    std::size_t i = token.starts_with('-') ? 1 : 0;
    std::size_t intStart = i;
    while (i < token.size() && isDigit(token[i]))
        ++i;
    std::string_view intDigits = token.substr(intStart, i - intStart);
    std::string_view fracDigits;
    if (i < token.size() && token[i] == '.') {
        std::size_t fracStart = ++i;
        while (i < token.size() && isDigit(token[i]))
            ++i;
        fracDigits = token.substr(fracStart, i - fracStart);
    }
    std::int64_t exponent = 0;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
        if (i == token.size()) return false;
        for (; i < token.size() && isDigit(token[i]); ++i)
            if (exponent < 1'000'000'000) exponent = exponent * 10 + (token[i] - '0');
        if (negative) exponent = -exponent;
    }
    if (i != token.size() || intDigits.empty()) return false;

    std::int64_t order;
    if (auto nz = intDigits.find_first_not_of('0'); nz != std::string_view::npos) {
        order = static_cast<std::int64_t>(intDigits.size() - nz - 1) + exponent;
    } else if (auto fz = fracDigits.find_first_not_of('0'); fz != std::string_view::npos) {
        order = -static_cast<std::int64_t>(fz + 1) + exponent;
    } else {
        return false; // zero
    }
    if (order < 308) return false;
    if (order > 308) return true;
    double value = 0;
    auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    return ec == std::errc::result_out_of_range;
}

// The text with overflowing numbers replaced by null, or nothing when it nests too deeply.
std::optional<std::string> tamed(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    int depth = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '"') {
            std::size_t j = i + 1;
            while (j < text.size() && text[j] != '"')
                j += text[j] == '\\' ? 2 : 1;
            j = std::min(j + 1, text.size());
            out.append(text.substr(i, j - i));
            i = j;
            continue;
        }
        if (c == '-' || isDigit(c)) {
            std::size_t j = i + 1;
            while (j < text.size() && (isDigit(text[j]) || std::string_view("+-.eE").find(
                                                               text[j]) != std::string_view::npos))
                ++j;
            std::string_view token = text.substr(i, j - i);
            out.append(overflowsDouble(token) ? std::string_view("null") : token);
            i = j;
            continue;
        }
        if (c == '[' || c == '{') {
            if (++depth > SettingsFile::maxDepth) return std::nullopt;
        } else if (c == ']' || c == '}') {
            --depth;
        }
        out.push_back(c);
        ++i;
    }
    return out;
}

} // namespace

Contents SettingsFile::parse(std::string_view text) {
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        Contents c;
        c.state = State::valid;
        return c;
    }
    auto repaired = repairUtf8(text);
    auto prepared = tamed(repaired);
    if (!prepared) return damaged("nested too deeply");
    auto object = nlohmann::json::parse(*prepared, nullptr, /*allow_exceptions=*/false);
    if (object.is_discarded()) return damaged("not valid JSON");
    if (!object.is_object()) return damaged("not a JSON object");
    Contents c;
    c.state = State::valid;
    c.object = std::move(object);
    return c;
}

Contents SettingsFile::read(const std::filesystem::path& path) {
    auto file = SmallFile::read(path, maxBytes);
    switch (file.status) {
    case SmallFile::Status::missing:
        return Contents{};
    case SmallFile::Status::refused:
        return damaged(std::move(file.problem));
    case SmallFile::Status::unreadable: {
        Contents c;
        c.state = State::unreadable;
        c.problem = std::move(file.problem);
        return c;
    }
    case SmallFile::Status::read:
        break;
    }
    return parse(file.bytes);
}

std::string SettingsFile::text(const nlohmann::json& object) {
    return object.dump(4, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

} // namespace ulmaro
