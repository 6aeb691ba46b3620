#include "UlmaroKit/Content/ContentIndex.h"

#include "UlmaroKit/Content/TextLine.h"
#include "UlmaroKit/Platform/AtomicFile.h"
#include "UlmaroKit/Platform/HugePages.h"
#include "UlmaroKit/Platform/MappedFile.h"
#include "UlmaroKit/Platform/UnicodeText.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <optional>
#include <system_error>

namespace ulmaro {
namespace {

constexpr std::size_t kPreviewCharacters = 200;

void appendEscaped(std::string& out, std::string_view utf8) {
    static constexpr char hex[] = "0123456789abcdef";
    for (char ch : utf8) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '/':
            out += "\\/";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 0xF];
            } else {
                out += ch;
            }
        }
    }
}

// A modification time no file can have (beyond 2^53 seconds, or not a number) is no time:
// stored as 0, so that the file is read again rather than trusted.
constexpr double kMaxTime = 9007199254740992.0;

double usableTime(double seconds) {
    return std::isfinite(seconds) && std::fabs(seconds) <= kMaxTime ? seconds : 0;
}

template <typename T>
void appendNumber(std::string& out, T value) {
    // Room for any finite double in fixed notation (309 digits, or 0. and 324 decimals).
    char buffer[512];
    std::to_chars_result r;
    if constexpr (std::is_floating_point_v<T>)
        r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    else
        r = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (r.ec != std::errc())
        throw std::system_error(std::make_error_code(r.ec), "content index number");
    out.append(buffer, r.ptr);
}

std::optional<std::int64_t> integerField(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end()) return std::nullopt;
    if (it->is_number_unsigned()) {
        auto v = it->get<std::uint64_t>();
        if (v > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
        return static_cast<std::int64_t>(v);
    }
    if (it->is_number_integer()) return it->get<std::int64_t>();
    return std::nullopt;
}

// Decodes the JSON table; nothing when it is not a well-formed table.
std::optional<std::vector<ContentIndex::Document>> decodeTable(std::string_view json,
                                                               std::size_t blobSize) {
    nlohmann::json table = nlohmann::json::parse(json.begin(), json.end(), nullptr, false);
    if (!table.is_array()) return std::nullopt;
    std::vector<ContentIndex::Document> documents;
    documents.reserve(table.size());
    for (const auto& object : table) {
        if (!object.is_object()) return std::nullopt;
        auto p = object.find("p");
        auto m = object.find("m");
        auto offset = integerField(object, "o");
        auto length = integerField(object, "l");
        if (p == object.end() || !p->is_string() || m == object.end() || !m->is_number() ||
            !offset || !length)
            return std::nullopt;
        // A range outside the blob would be read out of bounds later: drop the document.
        if (*offset < 0 || *length < 0 || static_cast<std::uint64_t>(*offset) > blobSize ||
            static_cast<std::uint64_t>(*length) > blobSize - static_cast<std::uint64_t>(*offset))
            continue;
        documents.push_back(
            {p->get<std::string>(), usableTime(m->get<double>()), *offset, *length});
    }
    return documents;
}

} // namespace

ContentIndex::ContentIndex(std::vector<Document> documents, std::vector<unsigned char> blob)
    : documents_(std::move(documents)), blob_(std::move(blob)) {}

std::vector<ContentIndex::Hit> ContentIndex::search(std::string_view needle,
                                                    std::int64_t limit) const {
    std::vector<Hit> hits;
    std::string lowered = UnicodeText::lowercased(needle);
    if (lowered.empty() || blob_.empty() || documents_.empty()) return hits;
    const char* blob = reinterpret_cast<const char*>(blob_.data());
    const auto blobSize = static_cast<std::int64_t>(blob_.size());
    const auto needleSize = static_cast<std::int64_t>(lowered.size());
    for (const auto& doc : documents_) {
        if (static_cast<std::int64_t>(hits.size()) >= limit) break;
        std::int64_t start = std::clamp<std::int64_t>(doc.offset, 0, blobSize);
        std::int64_t end = doc.length > blobSize - start ? blobSize : start + doc.length;
        if (end - start < needleSize) continue;
        const void* found = ::memmem(blob + start, static_cast<std::size_t>(end - start),
                                     lowered.data(), lowered.size());
        if (found == nullptr) continue;
        std::string_view text(blob + start, static_cast<std::size_t>(end - start));
        auto at = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
        TextLine line = TextLine::around(text, at, at + lowered.size());
        std::string shown = repairUtf8(text.substr(line.begin, line.end - line.begin));
        std::string preview(UnicodeText::graphemePrefix(UnicodeText::trimmingSpacesAndTabs(shown),
                                                        kPreviewCharacters));
        hits.push_back({doc.path, line.number, std::move(preview)});
    }
    return hits;
}

ContentIndex::Results ContentIndex::searchAll(std::string_view needle, std::int64_t limit) const {
    Results results;
    results.hits = search(needle, limit + 1);
    if (static_cast<std::int64_t>(results.hits.size()) > limit) {
        results.hits.resize(static_cast<std::size_t>(limit));
        results.truncated = true;
    }
    return results;
}

void ContentIndex::upsert(std::string_view path, double modified, std::string_view text) {
    std::string lowered = UnicodeText::lowercased(text);
    remove(path);
    documents_.push_back({std::string(path), modified, static_cast<std::int64_t>(blob_.size()),
                          static_cast<std::int64_t>(lowered.size())});
    blob_.insert(blob_.end(), lowered.begin(), lowered.end());
}

bool ContentIndex::remove(std::string_view path) {
    auto it = std::find_if(documents_.begin(), documents_.end(),
                           [&](const Document& d) { return d.path == path; });
    if (it == documents_.end()) return false;
    deadBytes_ += it->length;
    documents_.erase(it);
    return true;
}

std::int64_t ContentIndex::remove(const std::unordered_set<std::string>& paths) {
    if (paths.empty()) return 0;
    std::int64_t removed = 0;
    std::erase_if(documents_, [&](const Document& d) {
        if (!paths.contains(d.path)) return false;
        deadBytes_ += d.length;
        ++removed;
        return true;
    });
    return removed;
}

bool ContentIndex::isStale(std::string_view path, double modified) const {
    auto it = std::find_if(documents_.begin(), documents_.end(),
                           [&](const Document& d) { return d.path == path; });
    if (it == documents_.end()) return true;
    return modified > it->modified + mtimeTolerance || modified < it->modified - mtimeTolerance;
}

bool ContentIndex::compactIfNeeded(double threshold) {
    if (blob_.empty()) return false;
    if (!(static_cast<double>(deadBytes_) / static_cast<double>(blob_.size()) > threshold))
        return false;
    std::vector<Document> sorted = documents_;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Document& a, const Document& b) { return a.path < b.path; });
    std::vector<Document> table;
    std::vector<unsigned char> blob;
    blob.reserve(static_cast<std::size_t>(
        std::max<std::int64_t>(0, static_cast<std::int64_t>(blob_.size()) - deadBytes_)));
    const auto blobSize = static_cast<std::int64_t>(blob_.size());
    for (auto& doc : sorted) {
        if (doc.offset < 0 || doc.offset > blobSize || doc.length < 0) continue;
        std::int64_t end = doc.length > blobSize - doc.offset ? blobSize : doc.offset + doc.length;
        table.push_back({std::move(doc.path), doc.modified, static_cast<std::int64_t>(blob.size()),
                         end - doc.offset});
        blob.insert(blob.end(), blob_.begin() + doc.offset, blob_.begin() + end);
    }
    documents_ = std::move(table);
    blob_ = std::move(blob);
    deadBytes_ = 0;
    return true;
}

std::string ContentIndex::encodeTable() const {
    std::string json = "[";
    for (std::size_t i = 0; i < documents_.size(); ++i) {
        const auto& doc = documents_[i];
        if (i > 0) json += ',';
        json += "{\"p\":\"";
        appendEscaped(json, isValidUtf8(doc.path) ? doc.path : repairUtf8(doc.path));
        json += "\",\"m\":";
        appendNumber(json, usableTime(doc.modified));
        json += ",\"o\":";
        appendNumber(json, doc.offset);
        json += ",\"l\":";
        appendNumber(json, doc.length);
        json += '}';
    }
    json += ']';
    return json;
}

void ContentIndex::write(const std::filesystem::path& path) const {
    std::string table = encodeTable();
    if (table.size() > UINT32_MAX)
        throw std::system_error(EFBIG, std::generic_category(), "content index table too large");
    auto n = static_cast<std::uint32_t>(table.size());
    unsigned char length[4] = {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
                               static_cast<unsigned char>(n >> 16),
                               static_cast<unsigned char>(n >> 24)};
    AtomicFileWriter writer(path);
    writer.write(std::span<const unsigned char>(length, 4));
    writer.write(table);
    writer.write(std::span<const unsigned char>(blob_.data(), blob_.size()));
    writer.commit();
}

ContentIndex ContentIndex::read(const std::filesystem::path& path) {
    MappedFile file = MappedFile::open(path);
    std::span<const unsigned char> bytes = file.bytes();
    if (bytes.size() < 4) return {};
    std::uint64_t n = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
                      (static_cast<std::uint64_t>(bytes[3]) << 24);
    if (bytes.size() - 4 < n) return {};
    std::string_view json(reinterpret_cast<const char*>(bytes.data()) + 4, n);
    std::span<const unsigned char> blob = bytes.subspan(4 + n);
    auto documents = decodeTable(json, blob.size());
    if (!documents) return {};
    std::vector<unsigned char> copy;
    copy.reserve(blob.size());
    adviseHugePages(copy.data(), blob.size());
    copy.assign(blob.begin(), blob.end());
    return ContentIndex(std::move(*documents), std::move(copy));
}

} // namespace ulmaro
