#include "UlmaroAppKit/Onboarding/ExampleHighlight.h"

namespace ulmaro::ExampleHighlight {

std::vector<Run> highlighted(std::string_view example) {
    if (const auto colon = example.find(':'); colon != std::string_view::npos)
        return {{std::string(example.substr(0, colon + 1)), true},
                {std::string(example.substr(colon + 1)), false}};
    if (const auto dot = example.find(" ."); dot != std::string_view::npos)
        return {{std::string(example.substr(0, dot)) + " ", false},
                {std::string(example.substr(dot + 1)), true}};
    return {{std::string(example), false}};
}

} // namespace ulmaro::ExampleHighlight
