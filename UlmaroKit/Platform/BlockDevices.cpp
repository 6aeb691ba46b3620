#include "UlmaroKit/Platform/BlockDevices.h"

#include <array>
#include <blkid/blkid.h>
#include <cstring>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace ulmaro {
namespace {

// udev writes characters unsafe in a file name as "\xNN".
std::string decodeUdevName(std::string_view name) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hex(name[i + 2]) >= 0 &&
            hex(name[i + 3]) >= 0) {
            out.push_back(static_cast<char>(hex(name[i + 2]) * 16 + hex(name[i + 3])));
            i += 3;
        } else {
            out.push_back(name[i]);
        }
    }
    return out;
}

std::optional<std::string> linkTargetName(const std::filesystem::path& link) {
    std::array<char, 4096> buffer;
    ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return std::nullopt;
    std::filesystem::path target(std::string(buffer.data(), static_cast<std::size_t>(n)));
    std::string name = target.filename();
    if (name.empty()) return std::nullopt;
    return name;
}

// Link folder entries are named by the UUID or label and point at the device node.
std::map<std::string, std::string> readLinkFolder(const std::filesystem::path& folder) {
    std::map<std::string, std::string> byDevice;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (auto device = linkTargetName(it->path()))
            byDevice.emplace(*device, decodeUdevName(it->path().filename().string()));
    }
    return byDevice;
}

std::optional<std::string> readFirstLine(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    return line;
}

} // namespace

BlockDevices::BlockDevices(std::filesystem::path deviceRoot, std::filesystem::path sysRoot)
    : deviceRoot_(std::move(deviceRoot)), sysRoot_(std::move(sysRoot)) {
    uuids_ = readLinkFolder(deviceRoot_ / "disk" / "by-uuid");
    labels_ = readLinkFolder(deviceRoot_ / "disk" / "by-label");
}

std::optional<std::string> BlockDevices::deviceName(unsigned major, unsigned minor) const {
    return linkTargetName(sysRoot_ / "dev" / "block" /
                          (std::to_string(major) + ":" + std::to_string(minor)));
}

std::optional<std::string> BlockDevices::deviceName(const MountEntry& mount) const {
    auto byNumber = deviceName(mount.major, mount.minor);
    if (byNumber && uuids_.contains(*byNumber)) return byNumber;
    std::optional<std::string> bySource;
    if (mount.source.starts_with("/dev/") && mount.source.size() > 5) {
        auto node = deviceRoot_ / mount.source.substr(5);
        bySource = linkTargetName(node); // /dev/mapper/… links to ../dm-N
        if (!bySource) bySource = std::filesystem::path(mount.source).filename().string();
        if (bySource->empty()) bySource.reset();
    }
    if (bySource && uuids_.contains(*bySource)) return bySource;
    return byNumber ? byNumber : bySource;
}

std::optional<std::string> BlockDevices::uuid(const std::string& deviceName) const {
    auto found = uuids_.find(deviceName);
    if (found == uuids_.end()) return probed(deviceName).uuid;
    if (found->second.empty()) return std::nullopt;
    return found->second;
}

std::optional<std::string> BlockDevices::label(const std::string& deviceName) const {
    auto found = labels_.find(deviceName);
    // udev links a label only where it links the UUID: a linked device without a label has
    // none.
    if (found == labels_.end())
        return uuids_.contains(deviceName) ? std::nullopt : probed(deviceName).label;
    if (found->second.empty()) return std::nullopt;
    return found->second;
}

const BlockDevices::Identity& BlockDevices::probed(const std::string& deviceName) const {
    auto [at, isNew] = probes_.try_emplace(deviceName);
    if (!isNew) return at->second;
    // A name that is no single file name could leave the device folder.
    if (deviceName.empty() || deviceName == "." || deviceName == ".." ||
        deviceName.find('/') != std::string::npos)
        return at->second;
    blkid_probe probe = blkid_new_probe_from_filename((deviceRoot_ / deviceName).c_str());
    if (probe == nullptr) return at->second;
    blkid_probe_enable_partitions(probe, 0);
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_UUID | BLKID_SUBLKS_LABEL);
    if (blkid_do_safeprobe(probe) == 0) {
        auto value = [&](const char* name) -> std::optional<std::string> {
            const char* data = nullptr;
            std::size_t length = 0;
            if (blkid_probe_lookup_value(probe, name, &data, &length) != 0 || data == nullptr)
                return std::nullopt;
            std::string text(data, ::strnlen(data, length)); // the length counts a final NUL
            if (text.empty()) return std::nullopt;
            return text;
        };
        at->second = {value("UUID"), value("LABEL")};
    }
    blkid_free_probe(probe);
    return at->second;
}

bool BlockDevices::isInternal(const std::string& deviceName) const {
    std::error_code ec;
    auto sys = std::filesystem::canonical(sysRoot_, ec);
    if (ec) return false;
    auto device = std::filesystem::canonical(sysRoot_ / "class" / "block" / deviceName, ec);
    if (ec) return false;
    // A partition's disk is the folder above it; the disk says whether it is removable.
    auto disk = std::filesystem::exists(device / "partition", ec) ? device.parent_path() : device;
    if (readFirstLine(disk / "removable").value_or("0") == "1") return false;
    for (const auto& part : device.lexically_relative(sys)) {
        if (part.string().starts_with("usb")) return false;
    }
    return true;
}

} // namespace ulmaro
