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

std::string_view appDisplayName(std::string_view name) {
    for (std::string_view ending :
         {std::string_view(".app"), std::string_view(".desktop"), std::string_view(".AppImage")})
        if (name.ends_with(ending)) return name.substr(0, name.size() - ending.size());
    return name;
}

} // namespace ulmaro
