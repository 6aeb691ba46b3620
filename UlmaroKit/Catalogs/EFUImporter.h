#pragma once

#include "UlmaroKit/Catalogs/CatalogStats.h"
#include "UlmaroKit/Index/IndexBuilder.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// Imports an EFU file list — CSV rows of Windows-style paths with optional size, date
/// and attribute columns — as the tree of an index, folder sizes rolled up.
struct EFUImporter {
    struct Result {
        IndexBuilder builder;
        CatalogStats stats;
        /// Data rows that name something (the header and rows with an empty name aside).
        std::int64_t rows = 0;
        /// Rows whose name was refused (a "." or ".." component, a "/" as of another
        /// system's path): they add nothing. Rows with an empty name are not counted.
        std::int64_t refusedRows = 0;
    };

    class EFUError : public std::exception {
    public:
        enum class Kind { malformedRow, missingFilenameColumn };
        static EFUError malformedRow(std::int64_t line) { return {Kind::malformedRow, line}; }
        static EFUError missingFilenameColumn() { return {Kind::missingFilenameColumn, 0}; }
        Kind kind() const { return kind_; }
        /// 1-based line of the malformed row, counting every line feed (0 otherwise).
        std::int64_t line() const { return line_; }
        const char* what() const noexcept override;
        friend bool operator==(const EFUError& a, const EFUError& b) {
            return a.kind_ == b.kind_ && a.line_ == b.line_;
        }

    private:
        EFUError(Kind kind, std::int64_t line) : kind_(kind), line_(line) {}
        Kind kind_;
        std::int64_t line_;
    };

    using OnRow = std::function<void(std::int64_t line, const std::vector<std::string>& fields)>;

    /// The listed tree and its counts. Throws EFUError.
    static Result build(std::span<const unsigned char> bytes);

    /// Hands each non-blank CSV row to `onRow` with the line it begins on. Only the quote,
    /// the comma, the line feed and a CR before a line feed are special; fields are decoded
    /// as UTF-8 with invalid sequences replaced. Throws malformedRow for an unclosed quote.
    static void parseCSV(std::span<const unsigned char> bytes, const OnRow& onRow);

    /// The components of a listed path; none when the path is refused.
    static std::vector<std::string> components(std::string_view path);

    /// An attributes value, decimal or "0x" hexadecimal.
    static std::optional<std::uint32_t> integer(std::string_view text);

    /// A Windows file time (decimal) or an ISO 8601 internet date, as seconds since 1970.
    static std::optional<std::uint32_t> unixTime(std::string_view text);
};

} // namespace ulmaro
