#pragma once

#include "UlmaroKit/Search/Term.h"

#include <string>
#include <utility>

namespace ulmaro::test {

/// The commonest term of the search tests: a plain substring.
inline Term sub(std::string s) {
    return Term::substring(std::move(s));
}

} // namespace ulmaro::test
