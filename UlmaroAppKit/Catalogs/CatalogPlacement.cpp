#include "UlmaroAppKit/Catalogs/CatalogPlacement.h"

namespace ulmaro {
namespace {

bool isBelow(const std::string& path, const std::string& ancestor) {
    return path.size() > ancestor.size() && path.compare(0, ancestor.size(), ancestor) == 0 &&
           path[ancestor.size()] == '/';
}

} // namespace

std::optional<std::string> CatalogPlacement::currentRoot(const CatalogInfo& info,
                                                         std::span<const MountedVolume> mounted,
                                                         const Exists& exists) {
    if (info.kind == CatalogInfo::Kind::efu) return std::nullopt;
    for (const auto& volume : mounted) {
        if (volume.uuid != info.volumeUUID) continue;
        std::string root = CatalogInfo::join(volume.mountPath, info.relativeRoot);
        if (exists(root)) return root;
        return std::nullopt; // only the first volume of that UUID counts
    }
    return std::nullopt;
}

std::optional<CatalogPlacement::Location>
CatalogPlacement::locate(std::string path, std::span<const MountedVolume> volumes) {
    if (path.empty() || path.front() != '/') return std::nullopt;
    while (path.size() >= 2 && path.back() == '/')
        path.pop_back();
    const MountedVolume* chosen = nullptr;
    for (const auto& volume : volumes) {
        const std::string& mount = volume.mountPath;
        if (mount != "/" && mount != path && !isBelow(path, mount)) continue;
        if (chosen == nullptr || mount.size() > chosen->mountPath.size()) chosen = &volume;
    }
    if (chosen == nullptr) return std::nullopt;
    std::string relative;
    if (path != chosen->mountPath)
        relative =
            chosen->mountPath == "/" ? path.substr(1) : path.substr(chosen->mountPath.size() + 1);
    return Location{*chosen, std::move(relative)};
}

CatalogPlacement::Check CatalogPlacement::check(const std::string& volumeUUID,
                                                const std::string& relative,
                                                std::span<const CatalogInfo> infos) {
    Check result;
    for (const auto& info : infos) {
        if (info.kind == CatalogInfo::Kind::efu || info.volumeUUID != volumeUUID) continue;
        const std::string& existing = info.relativeRoot;
        if (existing.empty() || existing == relative || isBelow(relative, existing))
            return Check{Conflict{info.name}, {}};
        if (relative.empty() || isBelow(existing, relative)) result.absorbs.push_back(info.id);
    }
    return result;
}

} // namespace ulmaro
