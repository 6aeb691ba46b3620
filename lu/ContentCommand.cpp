// "lu content [dirs]" builds the document content index; "lu find <text>" searches it.
#include "UlmaroKit/Content/ContentIndexBuilder.h"
#include "UlmaroKit/Platform/DataLocations.h"
#include "UlmaroKit/Platform/UnicodeText.h"
#include "lu/Commands.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <system_error>

namespace ulmaro::lu {
namespace {

constexpr std::int64_t kFindLimit = 200;
constexpr std::size_t kFindListed = 10;
constexpr std::size_t kPreviewCharacters = 90;

std::int64_t nowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const auto& w : words) {
        if (!text.empty()) text += ' ';
        text += w;
    }
    return text;
}

int refuse(const std::string& folder, int error) {
    std::fprintf(stderr, "Cannot read %s: %s. The content index was not changed.\n", folder.c_str(),
                 std::strerror(error));
    return 1;
}

} // namespace

int runContent(const Invocation& invocation) {
    return runContent(invocation, [](const ScanRootIdentity& identity, const std::string& root) {
        return identity.recheck(root);
    });
}

int runContent(const Invocation& invocation, const RootRecheck& recheck) {
    const bool defaults = invocation.args.empty();
    std::vector<std::string> folders = invocation.args;
    if (defaults) {
        std::string home = DataLocations::homeDirectory().string();
        folders = {home + "/Documents", home + "/Desktop", home + "/Downloads"};
    }
    std::printf("Reading documents in:\n");
    for (const auto& folder : folders)
        std::printf("  %s\n", folder.c_str());
    std::fflush(stdout);

    // A folder that cannot be read, or is gone by the end, would make the new index lose its
    // documents: the index in place stays. Of the default folders, one that does not exist
    // is simply not there to read.
    struct Root {
        const std::string* given;
        std::string path; // absolute: the builder reads no names relative to the working folder
        ScanRootIdentity identity;
    };
    std::vector<Root> roots;
    for (const auto& folder : folders) {
        std::error_code absoluteError;
        std::filesystem::path absolute = std::filesystem::absolute(folder, absoluteError);
        Root root{
            &folder, absoluteError ? std::string() : absolute.lexically_normal().string(), {}};
        try {
            root.identity = ScanRootIdentity::of(root.path);
        } catch (const std::system_error& error) {
            if (defaults && error.code().value() == ENOENT) continue;
            return refuse(folder, error.code().value());
        }
        roots.push_back(std::move(root));
    }
    std::vector<std::string> paths;
    for (const Root& root : roots)
        paths.push_back(root.path);

    std::int64_t start = nowNanoseconds();
    ContentIndex index = ContentIndexBuilder::build(
        paths, nullptr, [] { return false; }, {}, ContentIndexBuilder::TextBudget::standard);
    std::int64_t elapsed = nowNanoseconds() - start;
    for (const Root& root : roots) {
        if (int error = recheck(root.identity, root.path); error != 0)
            return refuse(*root.given, error);
    }

    const auto& path = invocation.contentIndexPath;
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    try {
        index.write(path);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Could not write the content index to %s: %s\n", path.c_str(),
                     error.what());
        return 1;
    }
    struct stat st {};
    std::int64_t fileSize = ::stat(path.c_str(), &st) == 0 ? st.st_size : 0;

    std::printf("\n  %d documents, %.1f MB of text, built in %.1fs\n",
                static_cast<int>(index.documents().size()),
                static_cast<double>(index.textBytes()) / 1000000.0,
                static_cast<double>(elapsed) / 1000000000.0);
    std::printf("  written to %s (%.1f MB)\n", path.c_str(),
                static_cast<double>(fileSize) / 1000000.0);
    return 0;
}

int runFind(const Invocation& invocation) {
    std::string text = joined(invocation.args);
    ContentIndex index;
    try {
        index = ContentIndex::read(invocation.contentIndexPath);
    } catch (const std::exception&) {
        std::fputs("No content index. Run `lu content` first.\n", stderr);
        return 1;
    }
    std::int64_t start = nowNanoseconds();
    ContentIndex::Results results = index.searchAll(text, kFindLimit);
    std::int64_t elapsed = nowNanoseconds() - start;

    for (std::size_t i = 0; i < results.hits.size() && i < kFindListed; ++i) {
        const auto& hit = results.hits[i];
        std::string name = std::filesystem::path(hit.path).filename().string();
        std::string preview(UnicodeText::graphemePrefix(hit.preview, kPreviewCharacters));
        std::printf("  %s\n      %lld: %s\n", name.c_str(), static_cast<long long>(hit.line),
                    preview.c_str());
    }
    std::printf("\n%d%s documents contain %s (%.1fms over %d docs)\n",
                static_cast<int>(results.hits.size()), results.truncated ? "+" : "", text.c_str(),
                static_cast<double>(elapsed) / 1000000.0,
                static_cast<int>(index.documents().size()));
    return 0;
}

} // namespace ulmaro::lu
