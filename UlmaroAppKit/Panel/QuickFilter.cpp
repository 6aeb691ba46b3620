#include "UlmaroAppKit/Panel/QuickFilter.h"

#include "UlmaroKit/Platform/Utf8.h"

#include <cmath>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace ulmaro {
namespace {

struct Row {
    std::string_view rawValue, label, query, symbol, explanation;
};

// Indexed by QuickFilter::Case.
constexpr std::array<Row, 8> rows{{
    {"images", "Images", "ext:png,jpg,jpeg,heic,gif,webp,svg", "photo",
     "Only image files \u2014 filters by file type"},
    {"documents", "Docs", "ext:pdf,docx,doc,pages,txt,md,key,xlsx", "doc.text",
     "Only document files \u2014 filters by file type, not by what is inside them"},
    {"code", "Code", "ext:swift,ts,tsx,js,py,go,rs,java", "chevron.left.forwardslash.chevron.right",
     "Only source code files \u2014 filters by file type"},
    {"folders", "Folders", "folder:", "folder", "Only folders"},
    {"apps", "Apps", "app:", "app.badge", "Only applications"},
    {"big", "Big", "size:>100mb", "externaldrive", "Only files over 100 MB"},
    {"recent", "Recent", "dm:<7d", "clock", "Only files changed in the last 7 days"},
    {"contents", "Inside", "", "doc.text.magnifyingglass",
     "Search the text INSIDE documents, not their names"},
}};

} // namespace

std::optional<QuickFilter> QuickFilter::fromRawValue(std::string_view rawValue) {
    for (auto value : allCases)
        if (rows[value].rawValue == rawValue) return QuickFilter(value);
    return std::nullopt;
}

std::optional<QuickFilter> QuickFilter::forDigit(std::string_view character) {
    if (character.empty() || character.size() > 4 || !isValidUtf8(character)) return std::nullopt;
    int32_t offset = 0;
    UChar32 scalar;
    U8_NEXT(reinterpret_cast<const uint8_t*>(character.data()), offset,
            static_cast<int32_t>(character.size()), scalar);
    if (scalar < 0 || static_cast<std::size_t>(offset) != character.size()) return std::nullopt;
    double value = u_getNumericValue(scalar);
    if (value == U_NO_NUMERIC_VALUE || value < 1 || value > 8 || std::floor(value) != value)
        return std::nullopt;
    return QuickFilter(allCases[static_cast<std::size_t>(value) - 1]);
}

std::string_view QuickFilter::rawValue() const {
    return rows[value_].rawValue;
}
std::string_view QuickFilter::label() const {
    return rows[value_].label;
}
std::string_view QuickFilter::query() const {
    return rows[value_].query;
}
std::string_view QuickFilter::explanation() const {
    return rows[value_].explanation;
}
std::string_view QuickFilter::symbol() const {
    return rows[value_].symbol;
}

std::string QuickFilter::shortcutDigit() const {
    for (std::size_t i = 0; i < allCases.size(); ++i)
        if (allCases[i] == value_) return std::to_string(i + 1);
    return {};
}

} // namespace ulmaro
