#include "UlmaroAppKit/Panel/IconResolver.h"

#include <gtest/gtest.h>

namespace ulmaro {
namespace {

struct Image : IconImage {
    explicit Image(std::string source) : from(std::move(source)) {}
    std::string from;
};

struct CountingSource : IconSource {
    std::vector<std::string> asked;
    int genericAsked = 0;
    std::shared_ptr<const IconImage> iconForFile(const std::string& path) override {
        asked.push_back(path);
        return std::make_shared<Image>(path);
    }
    std::shared_ptr<const IconImage> genericApplicationIcon() override {
        ++genericAsked;
        return std::make_shared<Image>("generic");
    }
};

RankedRow namedRow(std::string name, std::string path, bool isApp = false, bool isDir = false) {
    RankedRow r;
    r.name = std::move(name);
    r.path = std::move(path);
    r.isApp = isApp;
    r.isDirectory = isDir;
    return r;
}

std::string from(const std::shared_ptr<const IconImage>& image) {
    return static_cast<const Image&>(*image).from;
}

TEST(IconResolver, CacheKeys) {
    struct Case {
        RankedRow row;
        std::optional<std::string> key;
    };
    const std::vector<Case> cases = {
        {namedRow("Photo.JPG", "/p/Photo.JPG"), "jpg"},
        {namedRow("archive.tar.GZ", "/p/archive.tar.GZ"), "gz"},
        {namedRow("README", "/p/README"), std::nullopt},
        {namedRow("trailing.", "/p/trailing."), std::nullopt},
        {namedRow("a.b", "/p/a.b", false, true), std::nullopt},
        {namedRow("Tool.app", "/p/Tool.app", true), std::nullopt},
        {namedRow("\u00c9T\u00c9.\u00c9PS", "/p/x"), "\u00e9ps"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IconResolver::cacheKey(c.row), c.key) << c.row.name;
}

TEST(IconResolver, FilesShareOneIconPerExtension) {
    auto source = std::make_shared<CountingSource>();
    IconResolver resolver(source);
    auto first = resolver.icon(namedRow("Photo.JPG", "/p/Photo.JPG"));
    auto second = resolver.icon(namedRow("x.jpg", "/q/x.jpg"));
    EXPECT_EQ(first, second);
    EXPECT_EQ(source->asked, std::vector<std::string>{"/p/Photo.JPG"});

    resolver.icon(namedRow("README", "/p/README"));
    resolver.icon(namedRow("README", "/p/README"));
    resolver.icon(namedRow("a.b", "/p/a.b", false, true));
    resolver.icon(namedRow("a.b", "/p/a.b", false, true));
    EXPECT_EQ(source->asked.size(), 5u) << "uncached each time";
}

TEST(IconResolver, ApplicationsInSimulatorRuntimesGetTheGenericIcon) {
    auto source = std::make_shared<CountingSource>();
    IconResolver resolver(source);
    const std::string runtime = "/Library/Runtimes/iOS.simruntime/Contents/Tool.app";
    EXPECT_EQ(from(resolver.icon(namedRow("Tool.app", runtime, true))), "generic");
    EXPECT_EQ(from(resolver.icon(namedRow("Tool.app", "/a/CoreSimulator/Tool.app", true))),
              "generic");
    EXPECT_EQ(source->genericAsked, 1);
    EXPECT_EQ(from(resolver.icon(namedRow("Tool.app", "/opt/Tool.app", true))), "/opt/Tool.app");
    // Only applications: a plain folder there keeps its own icon.
    EXPECT_EQ(from(resolver.icon(namedRow("x", runtime + "/x", false, true))), runtime + "/x");
}

// A source that tells folders apart gets them as folders; applications stay files to it.
TEST(IconResolver, FoldersAskForAFolderIcon) {
    struct FolderSource : CountingSource {
        std::shared_ptr<const IconImage> iconForFolder(const std::string& path) override {
            return std::make_shared<Image>("folder " + path);
        }
    };
    auto source = std::make_shared<FolderSource>();
    IconResolver resolver(source);
    EXPECT_EQ(from(resolver.icon(namedRow("src", "/p/src", false, true))), "folder /p/src");
    EXPECT_EQ(from(resolver.icon(namedRow("Tool.app", "/p/Tool.app", true, true))), "/p/Tool.app");
}

} // namespace
} // namespace ulmaro
