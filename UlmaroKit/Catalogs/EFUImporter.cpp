#include "UlmaroKit/Catalogs/EFUImporter.h"

#include "UlmaroKit/Catalogs/FolderSizes.h"
#include "UlmaroKit/Platform/UnicodeText.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

namespace ulmaro {
namespace {

constexpr unsigned char kQuote = 0x22, kComma = 0x2C, kLineFeed = 0x0A, kReturn = 0x0D;
constexpr std::uint32_t kNoParent = 0xFFFFFFFF;
constexpr std::uint32_t kFolderAttribute = 0x10;

struct FolderKey {
    std::uint32_t parent;
    std::string name; // lower-cased and composed, so equivalent spellings meet
    bool operator==(const FolderKey&) const = default;
};

struct FolderKeyHash {
    std::size_t operator()(const FolderKey& k) const {
        return std::hash<std::string>()(k.name) ^ (std::size_t(k.parent) * 0x9E3779B97F4A7C15ull);
    }
};

std::string_view trimmed(std::string_view s) {
    return UnicodeText::trimmingSpacesAndTabs(s);
}

// An unsigned decimal with at most one leading "+"; nothing on any other character or overflow.
template <typename T>
std::optional<T> decimal(std::string_view s, int base = 10) {
    if (base == 10 && s.starts_with('+')) s.remove_prefix(1);
    if (s.empty()) return std::nullopt;
    T value{};
    auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (error != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

// "YYYY-MM-DDTHH:MM:SS[.fraction](Z|±HH:MM)" to seconds since 1970 (fraction dropped).
std::optional<std::int64_t> internetDate(std::string_view s) {
    auto number = [&](std::size_t at, std::size_t len) -> std::optional<int> {
        if (at + len > s.size()) return std::nullopt;
        int v = 0;
        for (std::size_t i = at; i < at + len; ++i) {
            if (s[i] < '0' || s[i] > '9') return std::nullopt;
            v = v * 10 + (s[i] - '0');
        }
        return v;
    };
    auto at = [&](std::size_t i, char c) { return i < s.size() && s[i] == c; };
    auto year = number(0, 4), month = number(5, 2), day = number(8, 2);
    auto hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (!year || !month || !day || !hour || !minute || !second || !at(4, '-') || !at(7, '-') ||
        !at(10, 'T') || !at(13, ':') || !at(16, ':'))
        return std::nullopt;
    static constexpr int daysIn[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (*year % 4 == 0 && *year % 100 != 0) || *year % 400 == 0;
    if (*month < 1 || *month > 12 || *day < 1 || *day > daysIn[*month - 1] ||
        (*month == 2 && *day == 29 && !leap) || *hour > 23 || *minute > 59 || *second > 60)
        return std::nullopt;
    std::size_t i = 19;
    if (at(i, '.')) {
        std::size_t digits = 0;
        while (i + 1 + digits < s.size() && s[i + 1 + digits] >= '0' && s[i + 1 + digits] <= '9')
            ++digits;
        if (digits == 0) return std::nullopt;
        i += 1 + digits;
    }
    std::int64_t offset = 0;
    if (at(i, 'Z') && i + 1 == s.size()) {
    } else if ((at(i, '+') || at(i, '-')) && i + 6 == s.size() && at(i + 3, ':')) {
        auto oh = number(i + 1, 2), om = number(i + 4, 2);
        if (!oh || !om || *oh > 23 || *om > 59) return std::nullopt;
        offset = (*oh * 3600 + *om * 60) * (s[i] == '-' ? -1 : 1);
    } else {
        return std::nullopt;
    }
    // Days from the civil date (proleptic Gregorian).
    int y = *year - (*month <= 2);
    int era = (y >= 0 ? y : y - 399) / 400;
    int yoe = y - era * 400;
    int mp = (*month + 9) % 12;
    int doy = (153 * mp + 2) / 5 + *day - 1;
    int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    std::int64_t days = static_cast<std::int64_t>(era) * 146097 + doe - 719468;
    return days * 86400 + *hour * 3600 + *minute * 60 + *second - offset;
}

class Import {
public:
    // Rows are about one record each and names are a fraction of the row; reserving up
    // front spares the builder's arrays from growing by copies.
    explicit Import(std::span<const unsigned char> bytes)
        : builder_(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), kLineFeed)) + 16,
                   bytes.size() / 2) {}

    void row(std::int64_t line, const std::vector<std::string>& fields) {
        if (!columns_) return header(fields);
        if (fields.size() <= nameColumn_) throw EFUImporter::EFUError::malformedRow(line);
        // An empty name is a blank row; any other names something, and a refused one is
        // counted so that the user can be told.
        if (!fields[nameColumn_].empty()) ++rows_;
        std::vector<std::string> parts = EFUImporter::components(fields[nameColumn_]);
        if (parts.empty()) {
            if (!fields[nameColumn_].empty()) ++refused_;
            return;
        }
        auto field = [&](std::optional<std::size_t> column) -> const std::string* {
            return column && *column < fields.size() ? &fields[*column] : nullptr;
        };
        std::uint32_t attributes = 0;
        if (auto* f = field(attributesColumn_)) attributes = EFUImporter::integer(*f).value_or(0);
        std::uint64_t size = 0;
        if (auto* f = field(sizeColumn_)) size = decimal<std::uint64_t>(trimmed(*f)).value_or(0);
        std::uint32_t mtime = 0;
        if (auto* f = field(dateColumn_)) mtime = EFUImporter::unixTime(*f).value_or(0);

        // Record IDs and blob offsets are 32-bit: a list past that cannot be imported.
        if (builder_.records.size() + parts.size() >= kNoParent ||
            builder_.nameBlob.size() + parts.size() * 255 >= kNoParent)
            throw EFUImporter::EFUError::malformedRow(line);

        std::uint32_t parent = parentOf(parts);
        std::uint32_t id;
        if (attributes & kFolderAttribute)
            id = folder(parent, parts.back());
        else
            id = builder_.addEntry(parts.back(), parent, RecordFlags{}, 0);
        builder_.setAttributes(id, size, mtime);
    }

    bool sawHeader() const { return columns_; }
    std::int64_t rows() const { return rows_; }
    std::int64_t refused() const { return refused_; }
    IndexBuilder& builder() { return builder_; }

private:
    void header(const std::vector<std::string>& fields) {
        std::optional<std::size_t> name;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            std::string key = UnicodeText::lowercased(trimmed(fields[i]));
            auto take = [&](std::optional<std::size_t>& column, std::string_view title) {
                if (!column && key == title) column = i;
            };
            take(name, "filename");
            take(sizeColumn_, "size");
            take(dateColumn_, "date modified");
            take(attributesColumn_, "attributes");
        }
        if (!name) throw EFUImporter::EFUError::missingFilenameColumn();
        nameColumn_ = *name;
        columns_ = true;
    }

    std::uint32_t folder(std::uint32_t parent, const std::string& name) {
        FolderKey key{parent, UnicodeText::composed(UnicodeText::lowercased(name))};
        auto [it, inserted] = folders_.try_emplace(std::move(key), 0);
        if (inserted) it->second = builder_.addEntry(name, parent, RecordFlags::isDirectory, 0);
        return it->second;
    }

    std::uint32_t parentOf(const std::vector<std::string>& parts) {
        if (parts.size() == 1) return kNoParent;
        std::span<const std::string> folders(parts.data(), parts.size() - 1);
        if (memoValid_ &&
            std::equal(folders.begin(), folders.end(), memoPath_.begin(), memoPath_.end()))
            return memoID_;
        std::uint32_t parent = kNoParent;
        for (const auto& name : folders)
            parent = folder(parent, name);
        memoPath_.assign(folders.begin(), folders.end());
        memoID_ = parent;
        memoValid_ = true;
        return parent;
    }

    bool columns_ = false;
    std::int64_t rows_ = 0;
    std::int64_t refused_ = 0;
    std::size_t nameColumn_ = 0;
    std::optional<std::size_t> sizeColumn_, dateColumn_, attributesColumn_;
    std::unordered_map<FolderKey, std::uint32_t, FolderKeyHash> folders_;
    bool memoValid_ = false;
    std::vector<std::string> memoPath_;
    std::uint32_t memoID_ = kNoParent;
    IndexBuilder builder_;
};

} // namespace

const char* EFUImporter::EFUError::what() const noexcept {
    return kind_ == Kind::malformedRow ? "malformed EFU row" : "EFU list has no filename column";
}

void EFUImporter::parseCSV(std::span<const unsigned char> bytes, const OnRow& onRow) {
    std::size_t i = 0;
    if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) i = 3;
    bool inQuotes = false;
    std::int64_t line = 1, rowLine = 1, quoteLine = 1;
    std::string field;
    std::vector<std::string> row;
    auto endField = [&] {
        row.push_back(repairUtf8(field));
        field.clear();
    };
    auto endRow = [&] {
        if (!(row.size() == 1 && row[0].empty())) onRow(rowLine, row);
        row.clear();
    };
    const std::size_t n = bytes.size();
    for (; i < n; ++i) {
        unsigned char c = bytes[i];
        if (inQuotes) {
            if (c == kQuote) {
                if (i + 1 < n && bytes[i + 1] == kQuote) {
                    field += '"';
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                if (c == kLineFeed) ++line;
                field += static_cast<char>(c);
            }
            continue;
        }
        switch (c) {
        case kQuote:
            inQuotes = true;
            quoteLine = line;
            break;
        case kComma:
            endField();
            break;
        case kLineFeed:
            endField();
            endRow();
            ++line;
            rowLine = line;
            break;
        case kReturn:
            if (i + 1 < n && bytes[i + 1] == kLineFeed) break;
            field += static_cast<char>(c);
            break;
        default:
            field += static_cast<char>(c);
        }
    }
    if (inQuotes) throw EFUError::malformedRow(quoteLine);
    if (n > 0 && bytes[n - 1] == kReturn && !field.empty() && field.back() == '\r')
        field.pop_back();
    if (field.empty() && row.empty()) return;
    endField();
    endRow();
}

std::vector<std::string> EFUImporter::components(std::string_view path) {
    auto split = [](std::string_view s) {
        std::vector<std::string> pieces;
        std::size_t start = 0;
        while (start <= s.size()) {
            std::size_t end = s.find('\\', start);
            if (end == std::string_view::npos) end = s.size();
            if (end > start) pieces.emplace_back(s.substr(start, end - start));
            start = end + 1;
        }
        return pieces;
    };
    std::vector<std::string> parts;
    bool network = path.starts_with("\\\\");
    if (network) {
        auto pieces = split(path.substr(2));
        if (pieces.size() < 2) return {};
        parts.push_back("//" + pieces[0] + "/" + pieces[1]);
        parts.insert(parts.end(), pieces.begin() + 2, pieces.end());
    } else {
        parts = split(path);
    }
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const auto& p = parts[k];
        if (p == "." || p == "..") return {};
        if (p.find('/') != std::string::npos && !(network && k == 0)) return {};
    }
    return parts;
}

std::optional<std::uint32_t> EFUImporter::integer(std::string_view text) {
    std::string lowered = UnicodeText::lowercased(trimmed(text));
    std::string_view s = lowered;
    if (s.starts_with("0x")) {
        s.remove_prefix(2);
        if (s.empty() || s.starts_with('+') || s.starts_with('-')) return std::nullopt;
        return decimal<std::uint32_t>(s, 16);
    }
    return decimal<std::uint32_t>(s);
}

std::optional<std::uint32_t> EFUImporter::unixTime(std::string_view text) {
    std::string_view s = trimmed(text);
    if (s.empty()) return std::nullopt;
    if (auto fileTime = decimal<std::uint64_t>(s)) {
        if (*fileTime < 116444736010000000ull) return std::nullopt;
        if (*fileTime >= 159394408960000000ull) return 4294967295u;
        return static_cast<std::uint32_t>(*fileTime / 10000000ull - 11644473600ull);
    }
    auto seconds = internetDate(s);
    if (!seconds || *seconds <= 0) return std::nullopt;
    return static_cast<std::uint32_t>(std::min<std::int64_t>(*seconds, 4294967295));
}

EFUImporter::Result EFUImporter::build(std::span<const unsigned char> bytes) {
    Import import(bytes);
    parseCSV(bytes, [&](std::int64_t line, const std::vector<std::string>& fields) {
        import.row(line, fields);
    });
    if (!import.sawHeader()) throw EFUError::missingFilenameColumn();
    FolderSizes::rollUp(import.builder());
    CatalogStats stats = CatalogStats::measure(import.builder());
    return {std::move(import.builder()), stats, import.rows(), import.refused()};
}

} // namespace ulmaro
