#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace ulmaro {

/// Bytes that every name matching a regular expression must contain, so that the expression
/// only runs on names holding them. Never yields bytes a match could lack; when unsure, none.
namespace RegexLiteral {

/// ASCII-lowered bytes (at least 2) of the longest run of required literal characters,
/// the earliest on ties; nullopt when there is no such run.
std::optional<std::vector<std::uint8_t>> required(std::string_view pattern);

} // namespace RegexLiteral

} // namespace ulmaro
