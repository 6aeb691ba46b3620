#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// How the how-to-search cards colour an example: the operator ("size:") or the file
/// extension (".pdf") stands out, the rest is plain.
namespace ExampleHighlight {

struct Run {
    std::string text;
    /// Accent colour, semibold; else the primary colour.
    bool accent = false;

    friend bool operator==(const Run&, const Run&) = default;
};

/// Up to and including the first ":" accented, then the rest (possibly empty); else, at
/// the first " .", the text before it with one space, then the accented rest; else one
/// plain run.
std::vector<Run> highlighted(std::string_view example);

} // namespace ExampleHighlight
} // namespace ulmaro
