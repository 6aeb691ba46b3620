#include "UlmaroAppKit/MenuBar/MenuBarLinks.h"

#ifndef ULMARO_VERSION
#define ULMARO_VERSION ""
#endif
#ifndef ULMARO_SUPPORT_ADDRESS
#define ULMARO_SUPPORT_ADDRESS ""
#endif
#ifndef ULMARO_UPDATES_PAGE
#define ULMARO_UPDATES_PAGE ""
#endif

namespace ulmaro {
namespace {

// RFC 3986: everything but the unreserved characters and `keep`, as UTF-8 bytes.
std::string percentEncoded(std::string_view text, std::string_view keep = {}) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                                byte == '_' || byte == '~' ||
                                keep.find(c) != std::string_view::npos;
        if (unreserved) {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        }
    }
    return out;
}

} // namespace

MenuBarLinks MenuBarLinks::ofThisBuild() {
    return {versionText(ULMARO_VERSION), ULMARO_SUPPORT_ADDRESS, ULMARO_UPDATES_PAGE};
}

std::string MenuBarLinks::versionText(std::string_view buildVersion) {
    return buildVersion.empty() ? "—" : std::string(buildVersion);
}

std::optional<std::string> MenuBarLinks::supportMailtoURL(std::string_view forVersion) const {
    if (supportAddress.empty()) return std::nullopt;
    return "mailto:" + percentEncoded(supportAddress, "@") +
           "?subject=" + percentEncoded("Ulmaro " + std::string(forVersion));
}

std::optional<std::string> MenuBarLinks::updatesURL() const {
    if (updatesPage.empty()) return std::nullopt;
    std::string_view page = updatesPage;
    std::string_view fragment;
    if (const auto hash = page.find('#'); hash != std::string_view::npos) {
        fragment = page.substr(hash);
        page = page.substr(0, hash);
    }
    page = page.substr(0, page.find('?'));
    return std::string(page) + "?from=" + percentEncoded(version) + std::string(fragment);
}

} // namespace ulmaro
