#include "UlmaroAppKit/Catalogs/DiskImageDetector.h"

#include "UlmaroKit/Platform/BlockDevices.h"
#include "UlmaroKit/Platform/MountTable.h"
#include "UlmaroKit/Platform/UnicodeText.h"

#include <fstream>

namespace ulmaro {
namespace {

namespace fs = std::filesystem;

constexpr int maxDepth = 8; // dm over md over dm…: no real stack goes deeper

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\n'))
        line.pop_back();
    return line;
}

void describeInto(const fs::path& device, const fs::path& sysRoot, int depth,
                  std::vector<DiskImageDetector::Description>& out) {
    std::error_code ec;
    fs::path resolved = fs::canonical(device, ec);
    if (ec || depth > maxDepth) return;
    // A partition's disk is the folder above it.
    if (fs::exists(resolved / "partition", ec)) resolved = resolved.parent_path();
    if (fs::is_directory(resolved / "slaves", ec) && !fs::is_empty(resolved / "slaves", ec)) {
        for (const auto& slave : fs::directory_iterator(resolved / "slaves", ec))
            describeInto(sysRoot / "class" / "block" / slave.path().filename(), sysRoot, depth + 1,
                         out);
        return;
    }
    DiskImageDetector::Description description;
    const std::string name = resolved.filename().string();
    const std::string media = resolved.string();
    description["MediaPath"] = media;
    std::string model = firstLine(resolved / "device" / "model");
    const bool loopImage =
        name.starts_with("loop") && !firstLine(resolved / "loop" / "backing_file").empty();
    const bool networkBlock = name.starts_with("nbd");
    if (loopImage || networkBlock) {
        description["DeviceModel"] = "Disk Image";
        description["DeviceProtocol"] = "Virtual Interface";
    } else {
        if (!model.empty()) description["DeviceModel"] = model;
        if (media.find("/usb") != std::string::npos) description["DeviceProtocol"] = "USB";
    }
    out.push_back(std::move(description));
}

bool containsCaseInsensitive(const std::string& text, const std::string& needle) {
    return UnicodeText::lowercased(text).find(UnicodeText::lowercased(needle)) != std::string::npos;
}

} // namespace

std::vector<DiskImageDetector::Description>
DiskImageDetector::describe(const std::string& deviceName, const fs::path& sysRoot) {
    std::vector<Description> out;
    describeInto(sysRoot / "class" / "block" / deviceName, sysRoot, 0, out);
    return out;
}

bool DiskImageDetector::isDiskImage(const Description& description) {
    if (auto it = description.find("DeviceModel");
        it != description.end() && containsCaseInsensitive(it->second, "disk image"))
        return true;
    if (auto it = description.find("DeviceProtocol");
        it != description.end() && it->second == "Virtual Interface")
        return true;
    if (auto it = description.find("MediaPath");
        it != description.end() && (it->second.find("DiskImage") != std::string::npos ||
                                    it->second.find("IOHDIX") != std::string::npos))
        return true;
    return false;
}

bool DiskImageDetector::isDiskImage(const std::string& mountPath, const VolumeSources& sources) {
    try {
        const MountEntry* top = nullptr;
        auto table = MountTable::read(sources.mountTable);
        for (const auto& entry : table)
            if (entry.mountPoint == mountPath) top = &entry; // the last mount at a path is on top
        if (top == nullptr) return false;
        BlockDevices devices(sources.deviceRoot, sources.sysRoot);
        auto name = devices.deviceName(*top);
        if (!name) return false;
        for (const auto& description : describe(*name, sources.sysRoot))
            if (isDiskImage(description)) return true;
    } catch (...) {
    }
    return false;
}

} // namespace ulmaro
