#pragma once

// Catalogs written into a real catalogs folder with `IndexBuilder` and `IndexWriter`, and
// the library over them.

#include "UlmaroAppKit/Catalogs/CatalogLibrary.h"
#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "support/TempDir.h"

#include <map>
#include <string>
#include <vector>

namespace ulmaro::test {

/// Catalogs written into a real catalogs folder, each index made from absolute paths (the
/// folders on the way added once), and the library over them. Every root counts as
/// present on its drive.
struct Catalogs {
    TempDir dir;
    CatalogLayout layout{dir / "Catalogs"};
    // Forgetting deletes here: tests never reach the user's Trash.
    CatalogLibrary library{layout, [](const std::string&) { return true; },
                           [](const std::filesystem::path& folder) {
                               std::filesystem::remove_all(folder);
                               return true;
                           }};
    std::vector<MountedVolume> mounted;

    struct Index {
        IndexBuilder builder;
        std::map<std::string, std::uint32_t> folders;
        std::map<std::string, std::uint32_t> ids;

        explicit Index(bool efu) {
            if (!efu) folders["/"] = builder.addEntry("", FileRecord::rootParentID, dir, 0);
        }
        std::uint32_t add(const std::string& path, RecordFlags flags = {}, std::uint64_t size = 0,
                          std::uint32_t mtime = 0) {
            if (const auto it = folders.find(path); it != folders.end()) return it->second;
            const std::size_t slash = path.rfind('/');
            std::uint32_t parent = FileRecord::rootParentID;
            std::string name = path;
            if (slash != std::string::npos) {
                parent = folder(slash == 0 ? "/" : path.substr(0, slash));
                name = path.substr(slash + 1);
            }
            const std::uint32_t id = builder.addEntry(name, parent, flags, 0);
            if (size != 0 || mtime != 0) builder.setAttributes(id, size, mtime);
            ids[path] = id;
            if (flags.contains(RecordFlags::isDirectory)) folders[path] = id;
            return id;
        }
        std::uint32_t folder(const std::string& path) { return add(path, dir); }
        static constexpr RecordFlags dir = RecordFlags::isDirectory;
    };

    /// A drive or folder catalog recorded at `root` (mount path + relative root).
    CatalogInfo write(const std::string& id, Index& index, CatalogInfo info) {
        info.id = id;
        if (info.name.empty()) info.name = id;
        if (info.volumeUUID.empty()) info.volumeUUID = "uuid-" + id;
        if (info.kind != CatalogInfo::Kind::efu && !info.rootRecordID) {
            const std::string root = info.rootPath();
            info.rootRecordID = root == "/" ? 0 : index.folder(root);
        }
        const std::vector<VolumeEntry> volumes{{info.volumeUUID, info.lastMountPath, 0, false}};
        IndexWriter::write(index.builder, volumes, layout.indexURL(id));
        info.write(layout.infoURL(id));
        library.reloadAll();
        return info;
    }
    void mount(const std::string& uuid, const std::string& at) {
        MountedVolume volume;
        volume.uuid = uuid;
        volume.mountPath = at;
        volume.name = uuid;
        mounted.push_back(volume);
        library.updateMounted(mounted);
    }
    void unmountAll() {
        mounted.clear();
        library.updateMounted(mounted);
    }
};

inline CatalogInfo described(CatalogInfo::Kind kind, std::string mountPath = "",
                             std::string name = "", std::string uuid = "") {
    CatalogInfo info;
    info.kind = kind;
    info.lastMountPath = std::move(mountPath);
    info.name = std::move(name);
    info.volumeUUID = std::move(uuid);
    return info;
}

} // namespace ulmaro::test
