#include "UlmaroAppKit/Catalogs/CatalogLibrary.h"

#include "UlmaroAppKit/Catalogs/CatalogPlacement.h"
#include "UlmaroAppKit/Platform/Trash.h"
#include "UlmaroAppKit/Text/NaturalCompare.h"
#include "UlmaroKit/Catalogs/CatalogArchive.h"
#include "UlmaroKit/Catalogs/CatalogError.h"
#include "UlmaroKit/Index/IndexLoadOutcome.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace ulmaro {
namespace {

std::string reasonText(const RebuildReason& reason) {
    switch (reason.kind) {
    case RebuildReason::Kind::missing:
        return "Its index file is missing.";
    case RebuildReason::Kind::corrupt:
        return "Its index file failed its checksum.";
    case RebuildReason::Kind::truncated:
        return "Its index file is incomplete.";
    case RebuildReason::Kind::badMagic:
        return "Its index file isn\u2019t an Ulmaro index.";
    case RebuildReason::Kind::tooManyVolumes:
        return "Its index file describes too many volumes.";
    case RebuildReason::Kind::versionMismatch:
        return "Its index file was made by a different version of Ulmaro.";
    }
    return "Its index file failed its checksum.";
}

CatalogInfo placeholder(const std::string& id) {
    CatalogInfo info;
    info.id = id;
    info.name = id;
    info.kind = CatalogInfo::Kind::folder;
    return info;
}

std::vector<CatalogEntry> sortedByName(std::vector<CatalogEntry> entries) {
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return naturalLess(a.info.name, b.info.name);
    });
    return entries;
}

} // namespace

CatalogLibrary::CatalogLibrary(CatalogLayout layout, Exists exists, Trash trash)
    : layout_(std::move(layout)), exists_(std::move(exists)), trash_(std::move(trash)) {}

bool CatalogLibrary::fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool CatalogLibrary::moveToTrash(const std::filesystem::path& folder) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 && errno == ENOENT) return true;
    return ulmaro::moveToTrash(folder);
}

std::vector<CatalogInfo> CatalogLibrary::infos() const {
    std::vector<CatalogInfo> out;
    out.reserve(entries().size());
    for (const auto& e : entries())
        out.push_back(e.info);
    return out;
}

const CatalogEntry* CatalogLibrary::entry(const std::string& id) const {
    for (const auto& e : entries())
        if (e.info.id == id) return &e;
    return nullptr;
}

CatalogEntry CatalogLibrary::place(CatalogInfo info, std::shared_ptr<const IndexStore> store,
                                   CatalogEntry::Health health) const {
    CatalogEntry entry;
    // A root that is absolute or climbs out with ".." can be browsed but is never looked
    // for on a drive, so it is never scanned or watched.
    if (CatalogArchive::isSafe(info))
        entry.currentRoot = CatalogPlacement::currentRoot(info, mounted_, exists_);
    const bool volumeMounted =
        std::any_of(mounted_.begin(), mounted_.end(),
                    [&](const MountedVolume& v) { return v.uuid == info.volumeUUID; });
    if (health.kind == CatalogEntry::Health::Kind::ok && info.kind != CatalogInfo::Kind::efu &&
        volumeMounted && !entry.currentRoot && CatalogArchive::isSafe(info))
        health = CatalogEntry::Health::folderMissing();
    entry.info = std::move(info);
    entry.store = std::move(store);
    entry.health = std::move(health);
    return entry;
}

CatalogEntry CatalogLibrary::load(const std::string& id) const {
    CatalogInfo info;
    try {
        info = CatalogInfo::read(layout_.infoURL(id));
    } catch (const CatalogError& error) {
        CatalogEntry entry;
        entry.info = placeholder(id);
        entry.health =
            error.kind() == CatalogError::Kind::unsupportedFormat
                ? CatalogEntry::Health::damaged("Made by a newer version of Ulmaro (format " +
                                                std::to_string(error.found()) + ").")
                : CatalogEntry::Health::damaged("Its information file can\u2019t be read.");
        return entry;
    } catch (...) {
        CatalogEntry entry;
        entry.info = placeholder(id);
        entry.health = CatalogEntry::Health::damaged("Its information file can\u2019t be read.");
        return entry;
    }
    info.id = id;
    IndexLoadOutcome outcome = loadIndex(layout_.indexURL(id));
    if (!outcome.store)
        return place(std::move(info), nullptr,
                     CatalogEntry::Health::damaged(reasonText(outcome.reason)));
    return place(std::move(info), std::move(outcome.store), CatalogEntry::Health::ok());
}

void CatalogLibrary::publish(std::vector<CatalogEntry> entries) {
    ++generation_;
    entries_.set(std::move(entries));
    if (onChange) onChange();
}

void CatalogLibrary::reloadAll() {
    std::vector<CatalogEntry> loaded;
    for (const auto& id : layout_.catalogIDs())
        loaded.push_back(load(id));
    publish(sortedByName(std::move(loaded)));
}

void CatalogLibrary::reload(const std::string& id) {
    if (!CatalogLayout::isValidID(id)) return;
    std::vector<CatalogEntry> next;
    for (const auto& e : entries())
        if (e.info.id != id) next.push_back(e);
    next.push_back(load(id));
    publish(sortedByName(std::move(next)));
}

void CatalogLibrary::updateMounted(std::vector<MountedVolume> volumes) {
    mounted_ = std::move(volumes);
    std::vector<CatalogEntry> next;
    next.reserve(entries().size());
    for (const auto& e : entries()) {
        auto health = e.health.isDamaged() ? e.health : CatalogEntry::Health::ok();
        next.push_back(place(e.info, e.store, std::move(health)));
    }
    publish(std::move(next));
}

bool CatalogLibrary::forget(const std::string& id) {
    if (!CatalogLayout::isValidID(id) || !trash_(layout_.directory(id))) return false;
    std::vector<CatalogEntry> next;
    for (const auto& e : entries())
        if (e.info.id != id) next.push_back(e);
    publish(std::move(next));
    return true;
}

} // namespace ulmaro
