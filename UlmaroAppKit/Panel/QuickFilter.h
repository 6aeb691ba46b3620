#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ulmaro {

/// One of the eight one-click filters of the panel: what it is called and shows, and the
/// query token that narrows the search to it. A small value, compared with `==` against
/// its cases (`filter == QuickFilter::images`).
class QuickFilter {
public:
    /// In this order, which fixes the shortcut digits 1 to 8.
    enum Case : std::uint8_t { images, documents, code, folders, apps, big, recent, contents };

    constexpr QuickFilter(Case value) : value_(value) {}

    static constexpr std::array<Case, 8> allCases{images, documents, code,   folders,
                                                  apps,   big,       recent, contents};

    /// The case whose stored name is exactly `rawValue` (never a label).
    static std::optional<QuickFilter> fromRawValue(std::string_view rawValue);
    /// The filter of a typed character (one Unicode scalar, UTF-8) by its whole-number
    /// value, so "3" and "٣" both give `code`; values outside 1 to 8 and anything that is
    /// not a whole number give none.
    static std::optional<QuickFilter> forDigit(std::string_view character);

    constexpr Case value() const { return value_; }
    /// The stored name ("images").
    std::string_view rawValue() const;
    /// The chip's text ("Docs").
    std::string_view label() const;
    /// The query token added to the typed text; empty for `contents`.
    std::string_view query() const;
    /// The chip's help text.
    std::string_view explanation() const;
    /// The name of the chip's symbol image.
    std::string_view symbol() const;
    /// Only `contents`: it turns the typed text into a contents query instead of adding a token.
    bool rewritesQuery() const { return value_ == contents; }
    /// "1" to "8", the position in `allCases` plus one.
    std::string shortcutDigit() const;

    friend constexpr bool operator==(QuickFilter, QuickFilter) = default;

private:
    Case value_;
};

} // namespace ulmaro

template <>
struct std::hash<ulmaro::QuickFilter> {
    std::size_t operator()(ulmaro::QuickFilter filter) const noexcept {
        return static_cast<std::size_t>(filter.value());
    }
};
