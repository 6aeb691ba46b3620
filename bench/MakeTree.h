#pragma once

// A deterministic generator of a realistic file tree: the same entry count and seed give
// the same names and shape on every machine. Deep project folders and shallow wide ones,
// hidden folders (.git, .cache), long and non-UTF-8 names, symbolic links (some dangling),
// ".app" bundles, ".desktop" launchers in "applications" folders and ".AppImage" files.
// Files are empty: a scan reads names, not contents.

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace ulmaro::bench {

// Concatenation by appends (GCC 12 warns falsely about "literal" + std::string).
inline std::string join(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view part : parts)
        out.append(part);
    return out;
}

class TreeMaker {
public:
    explicit TreeMaker(std::uint64_t seed) : state_(seed) {}

    /// Creates `entries` entries under `root` (created as needed, must be empty).
    /// Returns the number created.
    std::uint64_t make(const std::filesystem::path& root, std::uint64_t entries) {
        std::filesystem::create_directories(root);
        const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) throw std::system_error(errno, std::generic_category(), root.string());
        created_ = 0;
        home(fd, entries);
        ::close(fd);
        return created_;
    }

private:
    std::uint64_t next() { // splitmix64
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint64_t below(std::uint64_t n) { return n == 0 ? 0 : next() % n; }
    bool chance(unsigned percentTimesTen) { return below(1000) < percentTimesTen; }

    std::string word() {
        static const char* const words[] = {
            "report",  "notes",   "image",   "build",  "main",    "index",  "data",   "test",
            "config",  "draft",   "summary", "photo",  "invoice", "utils",  "module", "readme",
            "backup",  "chapter", "design",  "budget", "client",  "server", "render", "sample",
            "holiday", "scan",    "letter",  "video",  "track",   "lib",    "core",   "view"};
        return words[below(std::size(words))];
    }
    std::string extension() {
        static const char* const extensions[] = {".txt", ".pdf", ".jpg",  ".png",  ".cpp",  ".h",
                                                 ".py",  ".md",  ".json", ".mp3",  ".docx", ".js",
                                                 ".o",   ".log", ".html", ".swift"};
        return extensions[below(std::size(extensions))];
    }

    std::string fileName() {
        std::string name;
        const std::uint64_t roll = below(1000);
        if (roll < 10) { // long names, up to the 255-byte limit
            const std::size_t length = 100 + below(156);
            while (name.size() < length)
                name.append(word()).append("_");
            name.resize(length - 4);
            name += ".txt";
        } else if (roll < 15) { // Latin-1 bytes from an old archive: not UTF-8
            name = join({word(), "_caf\xe9_", std::to_string(below(1000)), extension()});
        } else if (roll < 60) {
            name = join({".", word(), chance(500) ? "rc" : ""});
        } else {
            name = join({word(), chance(500) ? join({"_", std::to_string(below(10000))}) : "",
                         extension()});
        }
        return name;
    }
    std::string folderName() {
        const std::uint64_t roll = below(1000);
        if (roll < 30) return join({".", word()});
        if (roll < 35) return join({word(), "-\xff\xfe-", std::to_string(below(100))});
        return join({word(), chance(400) ? std::to_string(below(100)) : ""});
    }

    // Each helper creates exactly one entry, unless the name is taken (then none).
    bool file(int dir, const std::string& name) {
        if (::mknodat(dir, name.c_str(), S_IFREG | 0644, 0) != 0) return false;
        ++created_;
        return true;
    }
    bool link(int dir, const std::string& name, const std::string& target) {
        if (::symlinkat(target.c_str(), dir, name.c_str()) != 0) return false;
        ++created_;
        return true;
    }
    int folder(int dir, const std::string& name) {
        if (::mkdirat(dir, name.c_str(), 0755) != 0) return -1;
        ++created_;
        return ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }

    // Up to `budget` entries inside `dir`; returns how many were made.
    std::uint64_t files(int dir, std::uint64_t budget) {
        const std::uint64_t start = created_;
        for (std::uint64_t i = 0; i < budget * 2 && created_ - start < budget; ++i) {
            if (chance(20) && created_ - start > 0) {
                const bool dangling = chance(300);
                link(dir, join({word(), "-link", std::to_string(i)}),
                     dangling ? join({"../missing/", word()}) : fileName());
            } else {
                file(dir, fileName());
            }
        }
        return created_ - start;
    }

    // A folder tree holding `budget` entries.
    void tree(int dir, std::uint64_t budget, int depth) {
        std::uint64_t used = 0;
        // Wide folders (photo dumps, build outputs) and ordinary ones.
        std::uint64_t fileCount = chance(40) ? 300 + below(2500) : 2 + below(25);
        if (budget < 40 || depth > 14) fileCount = budget;
        used += files(dir, std::min(fileCount, budget));
        if (used >= budget) return;

        if (depth >= 1 && chance(30) && budget - used > 600)
            used += gitRepository(dir, budget - used);
        if (chance(15) && budget - used > 20) used += appBundle(dir);
        if (chance(10) && budget - used > 30)
            used += deepChain(dir, std::min<std::uint64_t>(budget - used, 60));
        if (used >= budget) return;

        const std::uint64_t rest = budget - used;
        const std::uint64_t k =
            std::min<std::uint64_t>(rest, depth < 3 ? 3 + below(8) : 1 + below(6));
        std::vector<std::uint64_t> weights(k);
        std::uint64_t total = 0;
        for (auto& w : weights)
            total += (w = 1 + below(100) * below(100));
        std::uint64_t given = 0;
        for (std::uint64_t i = 0; i < k; ++i) {
            std::uint64_t share = i + 1 == k ? rest - given : rest * weights[i] / total;
            share = std::min(share, rest - given);
            if (share == 0) continue;
            const std::uint64_t before = created_;
            const int child = folder(dir, join({folderName(), i > 0 ? std::to_string(i) : ""}));
            if (child < 0) continue;
            if (share > 1) tree(child, share - 1, depth + 1);
            ::close(child);
            given += created_ - before;
        }
    }

    // .git with a fan-out of object folders.
    std::uint64_t gitRepository(int dir, std::uint64_t budget) {
        const std::uint64_t start = created_;
        const int git = folder(dir, ".git");
        if (git < 0) return 0;
        for (const char* name : {"HEAD", "config", "description", "index", "packed-refs"})
            file(git, name);
        const int objects = folder(git, "objects");
        const std::uint64_t fanOut = std::min<std::uint64_t>(256, budget / 6);
        for (std::uint64_t i = 0; i < fanOut && objects >= 0; ++i) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02llx", static_cast<unsigned long long>(i));
            const int sub = folder(objects, hex);
            if (sub < 0) continue;
            for (std::uint64_t j = 0, n = 1 + below(4); j < n; ++j) {
                char name[39];
                std::snprintf(name, sizeof name, "%016llx%016llx%06llx",
                              static_cast<unsigned long long>(next()),
                              static_cast<unsigned long long>(next()),
                              static_cast<unsigned long long>(below(1 << 24)));
                file(sub, name);
            }
            ::close(sub);
        }
        if (objects >= 0) ::close(objects);
        ::close(git);
        return created_ - start;
    }

    // Name.app/Contents/{MacOS,Resources}/…
    std::uint64_t appBundle(int dir) {
        const std::uint64_t start = created_;
        std::string name = word();
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
        const int app = folder(dir, join({name, ".app"}));
        if (app < 0) return 0;
        const int contents = folder(app, "Contents");
        if (contents >= 0) {
            file(contents, "Info.plist");
            for (const char* sub : {"MacOS", "Resources"}) {
                const int d = folder(contents, sub);
                if (d < 0) continue;
                files(d, 3 + below(8));
                ::close(d);
            }
            ::close(contents);
        }
        ::close(app);
        return created_ - start;
    }

    // node_modules-style nesting, one folder inside the next.
    std::uint64_t deepChain(int dir, std::uint64_t budget) {
        const std::uint64_t start = created_;
        std::vector<int> open{dir};
        for (std::uint64_t level = 0; level < 20 && created_ - start + 2 < budget; ++level) {
            const int d = folder(open.back(), level % 2 == 0 ? "node_modules" : word());
            if (d < 0) break;
            open.push_back(d);
            file(d, "package.json");
        }
        for (std::size_t i = 1; i < open.size(); ++i)
            ::close(open[i]);
        return created_ - start;
    }

    // A home folder: the usual places, then the budget shared among them.
    void home(int root, std::uint64_t budget) {
        const std::uint64_t start = created_;
        if (budget < 200) {
            tree(root, budget, 0);
            return;
        }
        const int local = folder(root, ".local");
        const int share = local >= 0 ? folder(local, "share") : -1;
        const int apps = share >= 0 ? folder(share, "applications") : -1;
        for (int i = 0; apps >= 0 && i < 40; ++i)
            file(apps, join({"org.", word(), ".", word(), std::to_string(i), ".desktop"}));
        for (int fd : {apps, share, local})
            if (fd >= 0) ::close(fd);
        const int downloads = folder(root, "Downloads");
        for (int i = 0; downloads >= 0 && i < 8; ++i)
            file(downloads, join({word(), "-", std::to_string(i), "-x86_64.AppImage"}));
        if (downloads >= 0) ::close(downloads);

        const std::uint64_t fixed = created_ - start;
        const std::uint64_t rest = budget > fixed ? budget - fixed : 0;
        // name, share of the budget in percent
        const std::pair<const char*, unsigned> places[] = {
            {"Documents", 14}, {"Pictures", 8}, {"Music", 5},   {"projects", 30}, {".cache", 12},
            {".config", 3},    {"src", 20},     {"Desktop", 2}, {"Library", 5},   {"misc", 1}};
        std::uint64_t given = 0;
        for (std::size_t i = 0; i < std::size(places); ++i) {
            std::uint64_t portion =
                i + 1 == std::size(places) ? rest - given : rest * places[i].second / 100;
            const std::uint64_t before = created_;
            const int d = folder(root, places[i].first);
            if (d < 0) continue;
            if (portion > 1) tree(d, portion - 1, 1);
            ::close(d);
            given += created_ - before;
        }
    }

    std::uint64_t state_;
    std::uint64_t created_ = 0;
};

} // namespace ulmaro::bench
