#pragma once

#include "UlmaroKit/Search/Query.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// Turns the text typed in the search field into a Query. Runs on every keystroke and never
/// fails: what cannot be read as an operator is a plain substring term.
namespace QueryParser {

Query parse(std::string_view text);

/// The top-level alternatives of the text, each rebuilt as its tokens joined by single spaces.
std::vector<std::string> splitTopLevelOr(std::string_view text);

/// Every key recognised before a ":".
const std::set<std::string, std::less<>>& operatorKeys();

} // namespace QueryParser

} // namespace ulmaro
