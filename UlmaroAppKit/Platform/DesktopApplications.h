#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ulmaro {

/// The applications that can open items of a GIO content type (`ContentTypes` tells an
/// item's), as paths of their `.desktop` files; the default application first.
std::vector<std::string> applicationsForContentType(const std::string& type);

/// Opens the items (none: just starts it) with the application whose `.desktop` file is
/// `application`, through `GDesktopAppInfo`. True when the application was launched.
bool openWithApplication(const std::vector<std::string>& paths, const std::string& application);

/// The list with `defaultApplication` moved to the front when it stands in it; the others
/// keep their order, and a default that is not in the list is not added.
std::vector<std::string> withDefaultFirst(std::vector<std::string> applications,
                                          const std::optional<std::string>& defaultApplication);

} // namespace ulmaro
