#include "UlmaroAppKit/Panel/RecentsStore.h"

#include "UlmaroAppKit/Text/TextFormat.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <cmath>

namespace ulmaro {
namespace {

using nlohmann::json;

// The date as it reads back from the stored number, so that a list equals itself reloaded.
WallTime storable(WallTime date) {
    return dateFromReferenceSeconds(secondsSinceReferenceDate(date));
}

std::optional<std::string> stringMember(const json& object, const char* name) {
    auto it = object.find(name);
    if (it == object.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

std::optional<WallTime> dateMember(const json& object, const char* name) {
    auto it = object.find(name);
    if (it == object.end() || !it->is_number()) return std::nullopt;
    const double seconds = it->get<double>();
    if (!std::isfinite(seconds)) return std::nullopt;
    return dateFromReferenceSeconds(seconds);
}

std::optional<std::int64_t> intMember(const json& object, const char* name) {
    auto it = object.find(name);
    if (it == object.end()) return std::nullopt;
    if (it->is_number_unsigned()) {
        const auto value = it->get<std::uint64_t>();
        if (value > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
        return static_cast<std::int64_t>(value);
    }
    if (it->is_number_integer()) return it->get<std::int64_t>();
    return std::nullopt;
}

// One entry that does not decode makes the whole list unreadable.
template <class Entry, class Decode>
std::vector<Entry> decodeList(const std::optional<std::string>& text, Decode decodeEntry) {
    if (!text) return {};
    auto parsed = json::parse(*text, nullptr, false);
    if (!parsed.is_array()) return {};
    std::vector<Entry> list;
    for (const auto& item : parsed) {
        if (!item.is_object()) return {};
        auto entry = decodeEntry(item);
        if (!entry) return {};
        list.push_back(std::move(*entry));
    }
    return list;
}

std::optional<RecentSearchEntry> decodeSearch(const json& item) {
    auto query = stringMember(item, "query");
    auto count = intMember(item, "resultCount");
    auto ranAt = dateMember(item, "ranAt");
    if (!query || !count || !ranAt) return std::nullopt;
    return RecentSearchEntry{std::move(*query), *count, *ranAt};
}

std::optional<RecentFileEntry> decodeFile(const json& item) {
    auto path = stringMember(item, "path");
    auto name = stringMember(item, "name");
    auto openedAt = dateMember(item, "openedAt");
    if (!path || !name || !openedAt) return std::nullopt;
    return RecentFileEntry{std::move(*path), std::move(*name), *openedAt};
}

void write(SettingsStore& store, const std::string& key, const json& list) {
    try {
        store.setData(key, list.dump());
    } catch (const json::exception&) {
        // Every entry is valid UTF-8 when recorded, so this does not happen; were it to,
        // the stored list stays rather than being lost.
    }
}

} // namespace

RecentsStore::RecentsStore(std::shared_ptr<SettingsStore> store, std::string searchesKey,
                           std::string filesKey)
    : store_(std::move(store)), searchesKey_(std::move(searchesKey)),
      filesKey_(std::move(filesKey)) {
    searches_ = decodeList<RecentSearchEntry>(store_->dataValue(searchesKey_), decodeSearch);
    files_ = decodeList<RecentFileEntry>(store_->dataValue(filesKey_), decodeFile);
}

void RecentsStore::recordSearch(std::string_view query, std::int64_t resultCount, WallTime at) {
    std::string text = repairUtf8(query);
    std::erase_if(searches_, [&](const RecentSearchEntry& e) { return text.starts_with(e.query); });
    searches_.insert(searches_.begin(),
                     RecentSearchEntry{std::move(text), resultCount, storable(at)});
    if (searches_.size() > searchCap) searches_.resize(searchCap);
    writeSearches();
    changed();
}

void RecentsStore::recordOpened(std::string_view path, std::string_view name, WallTime at) {
    if (!isValidUtf8(path)) return;
    std::erase_if(files_, [&](const RecentFileEntry& e) { return e.path == path; });
    files_.insert(files_.begin(),
                  RecentFileEntry{std::string(path), repairUtf8(name), storable(at)});
    if (files_.size() > fileCap) files_.resize(fileCap);
    writeFiles();
    changed();
}

void RecentsStore::clearAll() {
    searches_.clear();
    files_.clear();
    writeSearches();
    writeFiles();
    changed();
}

void RecentsStore::writeSearches() {
    auto list = json::array();
    for (const auto& e : searches_)
        list.push_back({{"query", e.query},
                        {"resultCount", e.resultCount},
                        {"ranAt", secondsSinceReferenceDate(e.ranAt)}});
    write(*store_, searchesKey_, list);
}

void RecentsStore::writeFiles() {
    auto list = json::array();
    for (const auto& e : files_)
        list.push_back({{"path", e.path},
                        {"name", e.name},
                        {"openedAt", secondsSinceReferenceDate(e.openedAt)}});
    write(*store_, filesKey_, list);
}

void RecentsStore::changed() {
    // A copy, so that the listener may replace itself.
    if (auto listener = onChange) listener();
}

} // namespace ulmaro
