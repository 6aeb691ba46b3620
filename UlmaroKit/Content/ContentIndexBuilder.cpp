#include "UlmaroKit/Content/ContentIndexBuilder.h"

#include "UlmaroKit/Content/DocumentText.h"
#include "UlmaroKit/Platform/HugePages.h"
#include "UlmaroKit/Platform/UnicodeText.h"
#include "UlmaroKit/Platform/Utf8.h"
#include "UlmaroKit/Platform/WorkerPool.h"

#include <atomic>
#include <dirent.h>
#include <fcntl.h>
#include <span>
#include <sys/stat.h>
#include <unordered_map>

namespace ulmaro {
namespace {

struct Entry {
    std::string name;
    bool isDirectory;
};

// The entries of one folder in the order the file system gives them.
std::vector<Entry> listFolder(const std::string& path) {
    std::vector<Entry> entries;
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return entries;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return entries;
    }
    while (const dirent* e = ::readdir(dir)) {
        std::string_view name = e->d_name;
        if (name == "." || name == "..") continue;
        bool isDirectory = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN) {
            struct stat st {};
            isDirectory = ::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISDIR(st.st_mode);
        }
        entries.push_back({std::string(name), isDirectory});
    }
    ::closedir(dir);
    return entries;
}

// Depth first, each folder before its contents. Returns false once cancelled.
bool walk(const std::string& folder, const ContentIndexBuilder::IsCancelled& isCancelled,
          std::vector<std::string>& out) {
    for (auto& entry : listFolder(folder)) {
        if (isCancelled && isCancelled()) return false;
        if (entry.name.starts_with('.')) continue;
        if (ContentIndexBuilder::skipDirectories().contains(entry.name)) continue;
        // The index stores paths as JSON text: a name that is not UTF-8 cannot be kept.
        if (!isValidUtf8(entry.name)) continue;
        std::string path = folder == "/" ? "/" + entry.name : folder + "/" + entry.name;
        if (ContentIndexBuilder::extensions().contains(DocumentText::lowerExtension(entry.name)))
            out.push_back(path);
        if (entry.isDirectory && path.size() < PATH_MAX && !walk(path, isCancelled, out))
            return false;
    }
    return true;
}

struct Extracted {
    bool present = false;
    double modified = 0;
    std::string owned;                       // freshly extracted, lower-cased text
    std::span<const unsigned char> reused{}; // text taken over from the previous index
    std::size_t size() const { return reused.empty() ? owned.size() : reused.size(); }
};

} // namespace

const std::unordered_set<std::string>& ContentIndexBuilder::plainTextExtensions() {
    static const std::unordered_set<std::string> set{"csv", "txt", "md"};
    return set;
}

const std::unordered_set<std::string>& ContentIndexBuilder::extensions() {
    static const std::unordered_set<std::string> set{"pdf", "docx",    "pptx", "xlsx", "pages",
                                                     "key", "numbers", "csv",  "txt",  "md"};
    return set;
}

const std::unordered_set<std::string>& ContentIndexBuilder::skipDirectories() {
    static const std::unordered_set<std::string> set{
        "node_modules", ".git",          "DerivedData", "build",  "dist", ".next",
        "vendor",       "site-packages", ".venv",       "target", "Pods", ".build"};
    return set;
}

bool ContentIndexBuilder::isPlainText(std::string_view path) {
    return plainTextExtensions().contains(DocumentText::lowerExtension(path));
}

std::vector<std::string> ContentIndexBuilder::files(const std::string& folder,
                                                    const IsCancelled& isCancelled) {
    std::vector<std::string> out;
    // A relative name would depend on the working folder, and an empty one names nothing.
    if (!folder.starts_with('/')) return out;
    std::string root = folder;
    while (root.size() > 1 && root.ends_with('/'))
        root.pop_back();
    walk(root, isCancelled, out);
    return out;
}

ContentIndex ContentIndexBuilder::build(const std::vector<std::string>& folders,
                                        const ContentIndex* reusing, const IsCancelled& isCancelled,
                                        const OnProgress& onProgress, TextBudget textBudget,
                                        Extract extract) {
    if (!extract) extract = defaultExtract;

    // Overlapping folders would list a file twice, and the twin would go stale.
    std::vector<std::string> gathered;
    std::unordered_set<std::string> seen;
    for (const auto& folder : folders) {
        if (isCancelled && isCancelled()) break;
        for (auto& path : files(folder, isCancelled))
            if (seen.insert(path).second) gathered.push_back(std::move(path));
    }

    std::vector<std::string> admitted =
        withinTextBudget(gathered, ContentIndex(), textBudget).paths;

    std::unordered_map<std::string, std::pair<double, std::span<const unsigned char>>> reuse;
    if (reusing != nullptr) {
        const auto& blob = reusing->blob();
        for (const auto& doc : reusing->documents()) {
            if (doc.offset < 0 || doc.length < 0 ||
                doc.length > static_cast<std::int64_t>(blob.size()) - doc.offset)
                continue;
            reuse[doc.path] = {doc.modified, std::span(blob.data() + doc.offset,
                                                       static_cast<std::size_t>(doc.length))};
        }
    }

    std::vector<Extracted> results(admitted.size());
    std::atomic<std::int64_t> scanned{0}, extracted{0};
    parallelFor(admitted.size(), [&](std::size_t i) {
        if (isCancelled && isCancelled()) return;
        std::int64_t n = scanned.fetch_add(1) + 1;
        const std::string& path = admitted[i];
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return;
        if (st.st_size <= 0 || st.st_size > maxFileBytes) return;
        double modified =
            static_cast<double>(st.st_mtim.tv_sec) + static_cast<double>(st.st_mtim.tv_nsec) / 1e9;
        Extracted& slot = results[i];
        if (auto it = reuse.find(path); it != reuse.end()) {
            // Unchanged either way: a file replaced by an older copy is read again.
            double stored = it->second.first;
            if (modified <= stored + ContentIndex::mtimeTolerance &&
                modified >= stored - ContentIndex::mtimeTolerance) {
                slot.present = true;
                slot.modified = stored;
                slot.reused = it->second.second;
                extracted.fetch_add(1);
                return;
            }
        }
        std::optional<std::string> text = extract(path);
        if (!text || text->empty()) return;
        slot.owned = UnicodeText::lowercased(*text);
        slot.modified = modified;
        slot.present = true;
        std::int64_t r = extracted.fetch_add(1) + 1;
        if (onProgress && r % 25 == 0) onProgress({n, r, 0});
    });

    std::vector<Candidate> plain;
    for (std::size_t i = 0; i < results.size(); ++i)
        if (results[i].present && isPlainText(admitted[i]))
            plain.push_back(
                {admitted[i], results[i].modified, static_cast<std::int64_t>(results[i].size())});
    auto kept = keptWithinBudget(std::move(plain), textBudget);

    auto included = [&](std::size_t i) {
        return results[i].present && (!isPlainText(admitted[i]) || kept.contains(admitted[i]));
    };
    std::size_t total = 0;
    for (std::size_t i = 0; i < results.size(); ++i)
        if (included(i)) total += results[i].size();
    std::vector<ContentIndex::Document> documents;
    std::vector<unsigned char> blob;
    blob.reserve(total);
    adviseHugePages(blob.data(), total);
    for (std::size_t i = 0; i < results.size(); ++i) {
        const Extracted& r = results[i];
        if (!included(i)) continue;
        documents.push_back({admitted[i], r.modified, static_cast<std::int64_t>(blob.size()),
                             static_cast<std::int64_t>(r.size())});
        if (r.reused.empty())
            blob.insert(blob.end(), r.owned.begin(), r.owned.end());
        else
            blob.insert(blob.end(), r.reused.begin(), r.reused.end());
    }
    ContentIndex index(std::move(documents), std::move(blob));
    if (onProgress)
        onProgress({scanned.load(), static_cast<std::int64_t>(index.documents().size()),
                    index.textBytes()});
    return index;
}

} // namespace ulmaro
