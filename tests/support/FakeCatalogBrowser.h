#pragma once

// A browser model in memory, for the tests of views and item actions that need no catalog
// files: a small tree of records with the model's moves (open, up, to a depth) and its
// paths, behind `CatalogBrowsing`. The window's state is tested over the real model.

#include "UlmaroAppKit/Catalogs/CatalogBrowsing.h"
#include "UlmaroAppKit/Catalogs/CatalogLibrary.h"

#include <algorithm>
#include <map>
#include <set>

namespace ulmaro::test {

class FakeCatalogBrowser final : public CatalogBrowsing {
public:
    struct Node {
        std::string name;
        bool isDirectory = false;
        std::uint64_t size = 0;
        std::uint32_t mtime = 0;
        std::uint32_t parent = 0;
    };

    CatalogEntry entry;
    bool selected = true;
    /// When set, the catalogs come from it and `selectedID` picks one; else `entry` is the
    /// one catalog, shown while `selected`.
    const CatalogLibrary* library = nullptr;
    /// Record 0 is the catalog's root folder.
    std::map<std::uint32_t, Node> nodes{{0, {"", true, 0, 0, 0}}};
    /// Items for which no path can be given.
    std::set<std::uint32_t> withoutPath;
    std::vector<std::string> calls;

    FakeCatalogBrowser() {
        entry.info.id = "C1";
        entry.info.name = "Backup";
        entry.info.lastMountPath = "/media/me/Backup";
    }

    std::uint32_t add(std::uint32_t parent, std::string name, bool folder,
                      std::uint64_t size = 1000, std::uint32_t mtime = 1'700'000'000) {
        const auto id = std::uint32_t(nodes.size());
        nodes[id] = {std::move(name), folder, size, mtime, parent};
        return id;
    }

    void reload() {
        std::vector<Item> listed;
        if (selectedEntry()) {
            const std::uint32_t folder = trail.get().empty() ? 0 : trail.get().back();
            for (const auto& [id, node] : nodes)
                if (id != 0 && node.parent == folder)
                    listed.push_back({id, node.name, node.isDirectory, node.size, node.mtime});
            std::stable_sort(listed.begin(), listed.end(), [](const Item& a, const Item& b) {
                if (a.isDirectory != b.isDirectory) return a.isDirectory;
                return a.name < b.name;
            });
        }
        items.set(std::move(listed));
    }

    const CatalogEntry* selectedEntry() const override {
        if (library) return selectedID.get() ? library->entry(*selectedID.get()) : nullptr;
        return selected ? &entry : nullptr;
    }
    void select(const std::optional<std::string>& catalogID) override {
        calls.push_back("select " + catalogID.value_or("none"));
        selectedID.set(catalogID);
        trail.set({});
        highlighted.set(std::nullopt);
        reload();
    }
    void reveal(const std::string& path, const std::string& catalogID) override {
        select(catalogID);
        calls.push_back("reveal " + path);
    }
    void libraryChanged() override {
        calls.push_back("libraryChanged");
        if (library && selectedID.get() && !library->entry(*selectedID.get())) select(std::nullopt);
    }
    /// The model's status of an entry.
    static std::string status(const CatalogEntry& e) {
        if (e.health.isDamaged()) return "Damaged";
        if (e.health.kind == CatalogEntry::Health::Kind::folderMissing) return "Folder missing";
        if (e.info.kind == CatalogInfo::Kind::efu) return "Imported file list";
        return e.currentRoot ? "Connected" : "Offline";
    }
    std::vector<std::string> breadcrumb() const override {
        const CatalogEntry* shown = selectedEntry();
        if (!shown) return {};
        std::vector<std::string> crumbs{shown->info.name};
        for (auto id : trail.get())
            crumbs.push_back(nodes.at(id).name);
        return crumbs;
    }
    void goUp() override {
        calls.push_back("goUp");
        auto t = trail.get();
        if (t.empty()) return;
        const auto left = t.back();
        t.pop_back();
        trail.set(t);
        highlighted.set(left);
        reload();
    }
    void goTo(int depth) override {
        calls.push_back("goTo " + std::to_string(depth));
        auto t = trail.get();
        t.resize(std::size_t(std::clamp<int>(depth, 0, int(t.size()))));
        trail.set(t);
        highlighted.set(std::nullopt);
        reload();
    }
    void open(const Item& item) override {
        calls.push_back("open " + item.name);
        if (!item.isDirectory) return;
        auto t = trail.get();
        t.push_back(item.id);
        trail.set(t);
        highlighted.set(std::nullopt);
        reload();
    }
    std::optional<std::string> path(const Item& item) const override {
        if (withoutPath.contains(item.id) || !nodes.contains(item.id)) return std::nullopt;
        std::string rest;
        for (auto id = item.id; id != 0; id = nodes.at(id).parent)
            rest = "/" + nodes.at(id).name + rest;
        return entry.currentRoot.value_or(entry.info.rootPath()) + rest;
    }
};

} // namespace ulmaro::test
