#include "UlmaroAppKit/Catalogs/CatalogCoordinator.h"
#include "UlmaroAppKit/Indexing/IndexCoordinator.h"
#include "UlmaroKit/Catalogs/CatalogArchive.h"
#include "UlmaroKit/Catalogs/EFUImporter.h"

#include <climits>
#include <cstdlib>
#include <memory>
#include <optional>
#include <system_error>

namespace ulmaro {
namespace {

std::string_view folded(std::string_view path) {
    if (path.starts_with("/private/")) path.remove_prefix(8);
    return path;
}

std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

bool isInside(std::string_view path, std::string_view root) {
    return path.starts_with(root) && (path.size() == root.size() || path[root.size()] == '/');
}

std::optional<std::string> resolved(std::string_view path) {
    std::string copy(path);
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(copy.c_str(), nullptr), &std::free);
    if (!real) return std::nullopt;
    return std::string(real.get());
}

} // namespace

bool CatalogCoordinator::isRelevant(const FileSystemWatcherSignal& signal,
                                    std::string_view catalogsRoot) {
    switch (signal.kind()) {
    case FileSystemWatcherSignal::Kind::mustFullRescan:
        return true;
    case FileSystemWatcherSignal::Kind::historyDone:
        return false;
    case FileSystemWatcherSignal::Kind::changedPaths:
        break;
    }
    const std::string_view root = withoutTrailingSlashes(folded(catalogsRoot));
    // A data folder reached through a link reports its changes under the real path.
    const std::optional<std::string> real = resolved(catalogsRoot);
    const std::string_view realRoot =
        real ? withoutTrailingSlashes(folded(*real)) : std::string_view{};
    for (const std::string& path : signal.paths()) {
        const std::string_view candidate = folded(path);
        if (isInside(candidate, root)) continue;
        if (real && isInside(candidate, realRoot)) continue;
        if (IndexCoordinator::isHighChurnNoise(path)) continue;
        return true;
    }
    return false;
}

bool CatalogCoordinator::sameIdentity(const CatalogInfo& a, const CatalogInfo& b) {
    return a.kind == b.kind && a.volumeUUID == b.volumeUUID && a.relativeRoot == b.relativeRoot;
}

std::string CatalogCoordinator::describe(const std::exception& error) {
    if (const auto* archive = dynamic_cast<const CatalogArchive::ArchiveError*>(&error)) {
        switch (archive->kind()) {
        case CatalogArchive::ArchiveError::Kind::unsupportedFormat:
            return "it was made by a newer version of Ulmaro.";
        case CatalogArchive::ArchiveError::Kind::toolFailed:
            return archive->message().empty() ? "it couldn\u2019t be unzipped."
                                              : archive->message();
        case CatalogArchive::ArchiveError::Kind::notACatalog:
            return "it isn\u2019t an Ulmaro catalog.";
        case CatalogArchive::ArchiveError::Kind::damagedIndex:
            return "its index failed its checksum.";
        }
    }
    if (const auto* efu = dynamic_cast<const EFUImporter::EFUError*>(&error)) {
        switch (efu->kind()) {
        case EFUImporter::EFUError::Kind::missingFilenameColumn:
            return "it has no Filename column.";
        case EFUImporter::EFUError::Kind::malformedRow:
            return "line " + std::to_string(efu->line()) + " can\u2019t be read.";
        }
    }
    // The errno's own text, without the failing call's name in front of it.
    if (const auto* system = dynamic_cast<const std::system_error*>(&error))
        return system->code().message();
    return error.what();
}

std::string CatalogCoordinator::describe(const std::exception_ptr& error) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return describe(e);
    } catch (...) {
    }
    return "An unknown error occurred.";
}

} // namespace ulmaro
