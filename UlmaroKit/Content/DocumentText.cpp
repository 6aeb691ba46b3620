#include "UlmaroKit/Content/DocumentText.h"

namespace ulmaro::DocumentText {

std::optional<std::string> plainText(const std::filesystem::path&) {
    return std::nullopt;
}
std::optional<std::string> extractedText(const std::filesystem::path&) {
    return std::nullopt;
}
std::optional<std::string> text(const std::filesystem::path&) {
    return std::nullopt;
}
bool isExtractedExtension(std::string_view) {
    return false;
}
std::string lowerExtension(std::string_view) {
    return {};
}
std::function<bool(std::string_view)> officeTextEntries(std::string_view) {
    return {};
}
std::string textFromXML(std::string_view) {
    return {};
}
std::string printableRuns(std::string_view, std::size_t) {
    return {};
}

} // namespace ulmaro::DocumentText
