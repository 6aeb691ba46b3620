#include "UlmaroKit/Catalogs/CatalogInfo.h"

#include "UlmaroKit/Catalogs/CatalogError.h"
#include "UlmaroKit/Platform/AtomicFile.h"
#include "UlmaroKit/Platform/MappedFile.h"

#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>

namespace ulmaro {
namespace {

using nlohmann::json;
namespace chr = std::chrono;

// An info file is a few hundred bytes; anything this large is not one.
constexpr std::uint64_t maxInfoFileSize = 16 * 1024 * 1024;

constexpr std::string_view kindNames[] = {"drive", "folder", "efu"};

// Any decoding failure below becomes `unreadableInfo`; the reason is not passed on.
struct Unreadable {};

const json* member(const json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) return nullptr;
    return &*it;
}

const json& required(const json& object, const char* key) {
    const json* value = member(object, key);
    if (value == nullptr) throw Unreadable{};
    return *value;
}

std::int64_t toInt64(const json& value) {
    if (value.is_number_unsigned()) {
        auto v = value.get<std::uint64_t>();
        if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            throw Unreadable{};
        return static_cast<std::int64_t>(v);
    }
    if (value.is_number_integer()) return value.get<std::int64_t>();
    throw Unreadable{};
}

std::uint64_t toUInt64(const json& value) {
    if (value.is_number_unsigned()) return value.get<std::uint64_t>();
    if (value.is_number_integer()) {
        auto v = value.get<std::int64_t>();
        if (v < 0) throw Unreadable{};
        return static_cast<std::uint64_t>(v);
    }
    throw Unreadable{};
}

std::string toString(const json& value) {
    if (!value.is_string()) throw Unreadable{};
    return value.get<std::string>();
}

CatalogInfo::Date toDate(const json& value) {
    auto date = CatalogInfo::parseDate(toString(value));
    if (!date) throw Unreadable{};
    return *date;
}

template <typename T, typename F>
std::optional<T> optionalField(const json& object, const char* key, F convert) {
    const json* value = member(object, key);
    if (value == nullptr) return std::nullopt;
    return convert(*value);
}

CatalogInfo decode(const json& object, std::int64_t formatVersion) {
    CatalogInfo info;
    info.formatVersion = formatVersion;
    info.id = toString(required(object, "id"));
    auto kind = CatalogInfo::kindFromRawValue(toString(required(object, "kind")));
    if (!kind) throw Unreadable{};
    info.kind = *kind;
    info.volumeUUID = toString(required(object, "volumeUUID"));
    info.relativeRoot = toString(required(object, "relativeRoot"));
    info.name = toString(required(object, "name"));
    info.lastMountPath = toString(required(object, "lastMountPath"));
    info.capacityBytes = optionalField<std::int64_t>(object, "capacityBytes", toInt64);
    info.freeBytes = optionalField<std::int64_t>(object, "freeBytes", toInt64);
    info.fileCount = toInt64(required(object, "fileCount"));
    info.folderCount = toInt64(required(object, "folderCount"));
    info.totalBytes = toUInt64(required(object, "totalBytes"));
    info.rootRecordID = optionalField<std::uint32_t>(object, "rootRecordID", [](const json& v) {
        std::uint64_t id = toUInt64(v);
        if (id > std::numeric_limits<std::uint32_t>::max()) throw Unreadable{};
        return static_cast<std::uint32_t>(id);
    });
    info.lastConnected = optionalField<CatalogInfo::Date>(object, "lastConnected", toDate);
    info.lastCatalogued = optionalField<CatalogInfo::Date>(object, "lastCatalogued", toDate);
    return info;
}

// Reads exactly `width` decimal digits.
bool digits(std::string_view text, std::size_t at, std::size_t width, int& out) {
    if (at + width > text.size()) return false;
    out = 0;
    for (std::size_t i = at; i < at + width; ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return false;
        out = out * 10 + (c - '0');
    }
    return true;
}

} // namespace

std::string_view CatalogInfo::rawValue(Kind kind) {
    return kindNames[static_cast<std::size_t>(kind)];
}

std::optional<CatalogInfo::Kind> CatalogInfo::kindFromRawValue(std::string_view raw) {
    for (std::size_t i = 0; i < std::size(kindNames); ++i)
        if (kindNames[i] == raw) return static_cast<Kind>(i);
    return std::nullopt;
}

std::string CatalogInfo::join(std::string_view mountPath, std::string_view relative) {
    if (relative.empty()) return std::string(mountPath);
    std::string out(mountPath);
    if (mountPath != "/") out += '/';
    out += relative;
    return out;
}

std::string CatalogInfo::formatDate(Date date) {
    auto seconds = chr::floor<chr::seconds>(date);
    auto day = chr::floor<chr::days>(seconds);
    chr::year_month_day ymd(day);
    chr::hh_mm_ss time(seconds - day);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer,
                  "%04d-%02u-%02u"
                  "T%02d:%02d:%02dZ",
                  int(ymd.year()), unsigned(ymd.month()), unsigned(ymd.day()),
                  int(time.hours().count()), int(time.minutes().count()),
                  int(time.seconds().count()));
    return buffer;
}

std::optional<CatalogInfo::Date> CatalogInfo::parseDate(std::string_view text) {
    // yyyy-mm-ddThh:mm:ss then Z or ±hh:mm
    int y, mo, d, h, mi, s;
    if (text.size() < 20 || !digits(text, 0, 4, y) || text[4] != '-' || !digits(text, 5, 2, mo) ||
        text[7] != '-' || !digits(text, 8, 2, d) || text[10] != 'T' || !digits(text, 11, 2, h) ||
        text[13] != ':' || !digits(text, 14, 2, mi) || text[16] != ':' || !digits(text, 17, 2, s))
        return std::nullopt;
    if (h > 23 || mi > 59 || s > 59) return std::nullopt;
    std::int64_t offset = 0;
    std::string_view zone = text.substr(19);
    if (zone != "Z") {
        int oh, om;
        if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || !digits(zone, 1, 2, oh) ||
            zone[3] != ':' || !digits(zone, 4, 2, om) || oh > 23 || om > 59)
            return std::nullopt;
        offset = (oh * 3600 + om * 60) * (zone[0] == '-' ? -1 : 1);
    }
    chr::year_month_day ymd{chr::year(y), chr::month(unsigned(mo)), chr::day(unsigned(d))};
    if (!ymd.ok()) return std::nullopt;
    auto seconds = chr::sys_days(ymd).time_since_epoch() + chr::hours(h) + chr::minutes(mi) +
                   chr::seconds(s) - chr::seconds(offset);
    // The clock's nanosecond ticks reach only some 292 years either side of 1970.
    constexpr auto limit = chr::duration_cast<chr::seconds>(Date::duration::max()) - chr::hours(24);
    if (seconds > limit || seconds < -limit) return std::nullopt;
    return Date(chr::duration_cast<Date::duration>(seconds));
}

CatalogInfo CatalogInfo::read(const std::filesystem::path& file) {
    json object;
    try {
        MappedFile::Options options;
        options.maxSize = maxInfoFileSize;
        auto bytes = MappedFile::open(file, options);
        object = json::parse(bytes.view());
    } catch (const std::exception&) {
        throw CatalogError::unreadableInfo();
    }
    if (!object.is_object()) throw CatalogError::unreadableInfo();
    std::int64_t version;
    try {
        auto it = object.find("formatVersion");
        if (it == object.end()) throw Unreadable{};
        version = toInt64(*it);
    } catch (const Unreadable&) {
        throw CatalogError::unreadableInfo();
    }
    if (version > currentFormatVersion) throw CatalogError::unsupportedFormat(version);
    try {
        return decode(object, version);
    } catch (const Unreadable&) {
        throw CatalogError::unreadableInfo();
    } catch (const json::exception&) {
        throw CatalogError::unreadableInfo();
    }
}

void CatalogInfo::write(const std::filesystem::path& file) const {
    // nlohmann's object keeps its keys sorted, which is the order the file wants.
    json object = json::object();
    object["formatVersion"] = formatVersion;
    object["id"] = id;
    object["kind"] = rawValue(kind);
    object["volumeUUID"] = volumeUUID;
    object["relativeRoot"] = relativeRoot;
    object["name"] = name;
    object["lastMountPath"] = lastMountPath;
    if (capacityBytes) object["capacityBytes"] = *capacityBytes;
    if (freeBytes) object["freeBytes"] = *freeBytes;
    object["fileCount"] = fileCount;
    object["folderCount"] = folderCount;
    object["totalBytes"] = totalBytes;
    if (rootRecordID) object["rootRecordID"] = *rootRecordID;
    if (lastConnected) object["lastConnected"] = formatDate(*lastConnected);
    if (lastCatalogued) object["lastCatalogued"] = formatDate(*lastCatalogued);
    std::string text = object.dump(2);
    text += '\n';
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
    writeFileAtomically(file, text);
}

} // namespace ulmaro
