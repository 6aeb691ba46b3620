#pragma once

// A generated index that looks like a home folder: nested folders of mixed-case names with
// separators, numbers, extensions, a little non-ASCII, some hidden and application folders,
// attributes on most records and a few deleted records. Deterministic for a given seed.
//
//   IndexBuilder b = ulmaro::bench::syntheticIndex(2'000'000);
//   auto store = ulmaro::bench::cachedSyntheticStore(2'000'000); // written once under /tmp

#include "UlmaroKit/Index/IndexBuilder.h"
#include "UlmaroKit/Index/IndexStore.h"
#include "UlmaroKit/Index/IndexWriter.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro::bench {

class SyntheticNames {
public:
    explicit SyntheticNames(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}

    std::uint64_t next() {
        // splitmix64: fast, and the same on every platform.
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
    bool chance(unsigned percent) { return below(100) < percent; }

    /// A common word, or one of tens of thousands of rarer made-up words (skewed towards the
    /// first ones, as real vocabularies are).
    std::string word() {
        std::string w;
        if (chance(45)) {
            w = words()[below(words().size())];
        } else {
            const double u = static_cast<double>(next() >> 11) / 9007199254740992.0;
            w = madeUpWord(static_cast<std::size_t>(vocabulary * u * u * u));
        }
        const std::size_t style = below(10);
        if (style < 3 && !w.empty() && w[0] >= 'a' && w[0] <= 'z')
            w[0] = static_cast<char>(w[0] - 32);
        if (style == 3)
            for (char& c : w)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        return w;
    }

    static constexpr std::size_t vocabulary = 64000;

    /// Made-up word number `index` (below `vocabulary`): 4 to 8 random lower-case letters.
    static std::string madeUpWord(std::size_t index) {
        SyntheticNames g(0xC0FFEE + index);
        std::string w(4 + g.below(5), 'a');
        for (char& c : w)
            c = static_cast<char>('a' + g.below(26));
        return w;
    }

    /// A file name; half of them reuse the folder's own theme word, as folders hold related files.
    std::string fileName(const std::string& theme = {}) {
        static constexpr std::array<std::string_view, 24> exts = {
            "jpg", "png", "pdf",   "txt",  "cpp", "h",   "js",  "json",
            "md",  "py",  "swift", "html", "css", "JPG", "mp3", "mov",
            "zip", "doc", "xls",   "log",  "csv", "xml", "o",   "plist"};
        std::string name;
        if (!theme.empty() && chance(50)) {
            name = theme;
            name += chance(50) ? "_" : " ";
            name += chance(50) ? word() : std::to_string(below(1000));
        } else
            switch (below(8)) {
            case 0:
                name = "IMG_" + std::to_string(1000 + below(9000));
                break;
            case 1:
                name = word() + "_" + std::to_string(below(500));
                break;
            case 2:
                name = word() + " " + word() + " (" + std::to_string(below(9)) + ")";
                break;
            case 3:
                name = word() + "-" + word() + "-" + word();
                break;
            case 4:
                name = word() + word();
                break;
            case 5:
                name = word() + "." + word();
                break;
            default:
                name = word() + (chance(50) ? "_" : "") + word();
                break;
            }
        if (chance(3)) {
            std::string hidden(1, '.');
            hidden += name;
            name = std::move(hidden);
        }
        if (!chance(8)) {
            name += '.';
            name += exts[below(exts.size())];
        }
        return name;
    }

    std::string folderName() {
        if (chance(4)) return std::string(specialFolders()[below(specialFolders().size())]);
        if (chance(30)) return word() + " " + word();
        if (chance(20)) return word() + "_" + std::to_string(below(100));
        return word();
    }

private:
    static const std::vector<std::string_view>& words() {
        static const std::vector<std::string_view> w = {
            "report",      "invoice",     "photo",    "holiday",    "summer",    "project",
            "budget",      "notes",       "draft",    "final",      "backup",    "archive",
            "music",       "video",       "document", "letter",     "contract",  "scan",
            "receipt",     "meeting",     "agenda",   "slides",     "design",    "logo",
            "icon",        "banner",      "test",     "main",       "index",     "util",
            "helper",      "config",      "settings", "data",       "export",    "import",
            "sample",      "demo",        "readme",   "license",    "changelog", "module",
            "package",     "client",      "server",   "api",        "model",     "view",
            "controller",  "service",     "network",  "cache",      "image",     "thumb",
            "preview",     "render",      "shader",   "texture",    "sound",     "track",
            "album",       "artist",      "playlist", "podcast",    "episode",   "season",
            "movie",       "family",      "wedding",  "birthday",   "travel",    "paris",
            "berlin",      "tokyo",       "london",   "garden",     "recipe",    "kitchen",
            "budget",      "tax",         "salary",   "resume",     "cover",     "thesis",
            "chapter",     "figure",      "table",    "results",    "analysis",  "experiment",
            "measurement", "calibration", "firmware", "driver",     "kernel",    "shell",
            "script",      "build",       "release",  "debug",      "version",   "patch",
            "diff",        "merge",       "résumé",   "Übersicht",  "naïve",     "café",
            "日本語",      "写真",        "Ärger",    "straße",     "q3",        "2023",
            "2024",        "v2",          "x86",      "arm64",      "tmp",       "old",
            "new",         "copy",        "untitled", "screenshot", "recording", "keyword",
            "zebra",       "quartz"};
        return w;
    }
    static const std::vector<std::string_view>& specialFolders() {
        static const std::vector<std::string_view> f = {
            "node_modules", ".git",    "Caches",  "build",         "dist",
            "vendor",       "src",     "lib",     "Downloads",     "Documents",
            "Pictures",     "Desktop", "Library", "site-packages", "Logs"};
        return f;
    }

    std::uint64_t state_;
};

/// `count` records (at least 3): the root "", "home", "user", and a tree below it.
inline IndexBuilder syntheticIndex(std::size_t count, std::uint64_t seed = 1) {
    SyntheticNames g(seed);
    IndexBuilder b(count, count * 20);
    const RecordFlags dir = RecordFlags::isDirectory;
    const std::uint32_t root = b.addEntry("", FileRecord::rootParentID, dir, 0);
    const std::uint32_t home = b.addEntry("home", root, dir, 0);
    const std::uint32_t user = b.addEntry("user", home, dir, 0);
    struct Open {
        std::uint32_t id;
        unsigned depth;
    };
    std::vector<Open> open = {{user, 2}};
    auto addAttributes = [&](std::uint32_t id) {
        if (g.chance(95))
            b.setAttributes(id, g.chance(10) ? g.next() % 4'000'000'000ull : g.next() % 2'000'000,
                            static_cast<std::uint32_t>(1'600'000'000 + g.below(150'000'000)));
    };
    while (b.count() < count) {
        if (open.empty()) open.push_back({user, 2});
        // Mostly the folders made last, as a depth-first walk would list them.
        const std::size_t pick = open.size() - 1 - g.below(std::min<std::size_t>(open.size(), 6));
        const Open parent = open[pick];
        open[pick] = open.back();
        open.pop_back();
        const std::size_t files = 1 + g.below(g.chance(10) ? 200 : 25);
        const std::string theme = g.word();
        const std::size_t folders = parent.depth < 14 ? g.below(6) : 0;
        for (std::size_t i = 0; i < files && b.count() < count; ++i) {
            RecordFlags flags;
            if (g.chance(1)) flags.insert(RecordFlags::deleted);
            const std::string name = g.fileName(theme);
            if (name[0] == '.') flags.insert(RecordFlags::isHidden);
            addAttributes(b.addEntry(name, parent.id, flags, 0));
        }
        for (std::size_t i = 0; i < folders && b.count() < count; ++i) {
            RecordFlags flags = dir;
            std::string name = g.folderName();
            if (g.chance(1)) {
                name += ".app";
                flags.insert(RecordFlags::isApp);
            }
            if (name[0] == '.') flags.insert(RecordFlags::isHidden);
            if (g.chance(1)) flags.insert(RecordFlags::deleted);
            const std::uint32_t id = b.addEntry(name, parent.id, flags, 0);
            addAttributes(id);
            open.push_back({id, parent.depth + 1});
        }
    }
    return b;
}

/// Where benchmarks keep their generated files: $ULMARO_BENCH_DIR, default /tmp/ulmaro-bench.
inline std::filesystem::path benchDirectory() {
    const char* env = std::getenv("ULMARO_BENCH_DIR");
    return env != nullptr ? std::filesystem::path(env) : std::filesystem::path("/tmp/ulmaro-bench");
}

/// The synthetic index of `count` records, written once to a file under `benchDirectory()`.
inline std::filesystem::path cachedSyntheticFile(std::size_t count, std::uint64_t seed = 1) {
    const std::filesystem::path dir = benchDirectory();
    const std::filesystem::path file =
        dir / ("synthetic-v3-" + std::to_string(count) + "-" + std::to_string(seed) + ".bin");
    if (!std::filesystem::exists(file)) {
        std::filesystem::create_directories(dir);
        IndexWriter::write(syntheticIndex(count, seed), {}, file);
    }
    return file;
}

/// That file, opened.
inline std::shared_ptr<const IndexStore> cachedSyntheticStore(std::size_t count,
                                                              std::uint64_t seed = 1) {
    return IndexStore::open(cachedSyntheticFile(count, seed));
}

/// The synthetic index copied to `index` (once) with a fresh file date, so a coordinator
/// serves it without asking for a rescan.
inline void placeFreshSyntheticIndex(std::size_t count, const std::filesystem::path& index) {
    const std::filesystem::path source = cachedSyntheticFile(count);
    std::filesystem::create_directories(index.parent_path());
    std::error_code ignored;
    if (!std::filesystem::exists(index)) std::filesystem::copy_file(source, index, ignored);
    std::filesystem::last_write_time(index, std::filesystem::file_time_type::clock::now(), ignored);
}

} // namespace ulmaro::bench
