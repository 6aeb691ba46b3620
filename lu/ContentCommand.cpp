// "lu content [dirs]" builds the document content index; "lu find <text>" searches it.
#include "UlmaroKit/Content/ContentIndexBuilder.h"
#include "UlmaroKit/Platform/DataLocations.h"
#include "UlmaroKit/Platform/UnicodeText.h"
#include "lu/Commands.h"

#include <chrono>
#include <cstdio>
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

} // namespace

int runContent(const Invocation& invocation) {
    std::vector<std::string> folders = invocation.args;
    if (folders.empty()) {
        std::string home = DataLocations::homeDirectory().string();
        folders = {home + "/Documents", home + "/Desktop", home + "/Downloads"};
    }
    std::printf("Reading documents in:\n");
    for (const auto& folder : folders)
        std::printf("  %s\n", folder.c_str());
    std::fflush(stdout);

    // The builder takes absolute names only: relative ones are read from the working folder.
    std::vector<std::string> roots;
    for (const auto& folder : folders) {
        std::error_code error;
        std::filesystem::path absolute = std::filesystem::absolute(folder, error);
        roots.push_back(error ? std::string() : absolute.lexically_normal().string());
    }

    std::int64_t start = nowNanoseconds();
    ContentIndex index = ContentIndexBuilder::build(
        roots, nullptr, [] { return false; }, {}, ContentIndexBuilder::TextBudget::standard);
    std::int64_t elapsed = nowNanoseconds() - start;

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
