#include "UlmaroKit/Scanning/DirectoryScannerEntries.h"

#include "UlmaroKit/Index/IndexBuilder.h"

#include <algorithm>
#include <cstring>

namespace ulmaro {
namespace {

std::string_view lastComponent(std::string_view path) {
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    return path.substr(path.rfind('/') + 1);
}

} // namespace

DescentRule::DescentRule(const ScanPolicy& policy, const ScanPolicy::PathSet& mountPoints,
                         std::string_view rootPath)
    : policy_(&policy), mountPoints_(&mountPoints),
      rootRefusesAll_(ScanPolicy::isNoIndexDirectory(rootPath) ||
                      ScanPolicy::isBackupOrSystemStore(rootPath)) {
    for (const std::string& path : policy.excluded)
        lastComponents_.emplace(lastComponent(path));
    for (const std::string& path : mountPoints)
        lastComponents_.emplace(lastComponent(path));
}

RecordFlags scannedEntryFlags(std::string_view name, EntryKind kind, std::string_view folderName) {
    RecordFlags flags;
    if (kind == EntryKind::directory) flags |= RecordFlags::isDirectory;
    if (kind == EntryKind::symbolicLink) flags |= RecordFlags::isSymlink;
    if (name.starts_with('.')) flags |= RecordFlags::isHidden;
    if (isApplication(name, kind, folderName)) flags |= RecordFlags::isApp;
    return flags;
}

void DirectoryEntries::start(std::string_view folderName) {
    folderName_.assign(folderName);
    packed_.clear();
    count_ = 0;
    nameBytes_ = 0;
    subdirectories_.clear();
}

void DirectoryEntries::add(std::string_view name, EntryKind kind) {
    const std::size_t stored = std::min(name.size(), IndexBuilder::maxNameLength);
    const std::size_t at = packed_.size();
    packed_.resize(at + 2 + stored);
    packed_[at] = static_cast<unsigned char>(stored);
    packed_[at + 1] = scannedEntryFlags(name, kind, folderName_).rawValue;
    std::memcpy(packed_.data() + at + 2, name.data(), stored);
    if (kind == EntryKind::directory)
        subdirectories_.push_back({count_, static_cast<std::uint32_t>(at),
                                   stored < name.size() ? std::string(name) : std::string()});
    ++count_;
    nameBytes_ += stored;
}

} // namespace ulmaro
