#include "UlmaroKit/Scanning/DirectoryScannerEntries.h"

#include "UlmaroKit/Index/IndexBuilder.h"

#include <algorithm>

namespace ulmaro {

DescentRule::DescentRule(const ScanPolicy& policy, const ScanPolicy::PathSet& mountPoints,
                         std::string_view rootPath)
    : policy_(&policy), mountPoints_(&mountPoints),
      rootRefusesAll_(ScanPolicy::isNoIndexDirectory(rootPath) ||
                      ScanPolicy::isBackupOrSystemStore(rootPath)) {}

bool DescentRule::mayEnter(std::string_view path, std::string_view name) const {
    return !rootRefusesAll_ && !ScanPolicy::isNoIndexName(name) &&
           !ScanPolicy::isBackupOrSystemStoreName(name) && !policy_->excluded.contains(path) &&
           !mountPoints_->contains(path);
}

RecordFlags scannedEntryFlags(std::string_view name, EntryKind kind, std::string_view folderName) {
    RecordFlags flags;
    if (kind == EntryKind::directory) flags |= RecordFlags::isDirectory;
    if (kind == EntryKind::symbolicLink) flags |= RecordFlags::isSymlink;
    if (name.starts_with('.')) flags |= RecordFlags::isHidden;
    if (isApplication(name, kind, folderName)) flags |= RecordFlags::isApp;
    return flags;
}

void DirectoryEntries::start(std::string_view path) {
    path_.assign(path);
    folderName_ = std::string_view(path_).substr(path_.rfind('/') + 1);
    packed_.clear();
    count_ = 0;
    nameBytes_ = 0;
    subdirectories_.clear();
}

void DirectoryEntries::add(std::string_view name, EntryKind kind, const DescentRule& rule) {
    const std::size_t stored = std::min(name.size(), IndexBuilder::maxNameLength);
    packed_.push_back(static_cast<unsigned char>(stored));
    packed_.push_back(scannedEntryFlags(name, kind, folderName_).rawValue);
    packed_.insert(packed_.end(), name.begin(), name.begin() + static_cast<std::ptrdiff_t>(stored));
    if (kind == EntryKind::directory) {
        std::string child;
        child.reserve(path_.size() + 1 + name.size());
        child.append(path_).append(1, '/').append(name);
        if (rule.mayEnter(child, name)) subdirectories_.push_back({count_, std::move(child)});
    }
    ++count_;
    nameBytes_ += stored;
}

} // namespace ulmaro
