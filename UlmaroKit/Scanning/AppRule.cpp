#include "UlmaroKit/Scanning/AppRule.h"

#include "UlmaroKit/Scanning/ScanPolicy.h"

namespace ulmaro {
namespace {

// A name made of something followed by the ending.
bool endsAfterStem(std::string_view name, std::string_view ending) {
    return name.size() > ending.size() && name.substr(name.size() - ending.size()) == ending;
}

} // namespace

bool isApplication(std::string_view name, EntryKind kind, std::string_view parentFolderName) {
    if (ScanPolicy::isAppBundle(name)) return true;
    if (kind != EntryKind::regularFile) return false;
    return endsAfterStem(name, ".AppImage") ||
           (parentFolderName == "applications" && endsAfterStem(name, ".desktop"));
}

} // namespace ulmaro
