#pragma once

#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace ulmaro::test {

/// A stand-in for /dev and /sys: block devices with their sysfs folders, udev's by-uuid
/// and by-label links, and what the disk-image test reads (model, slaves, loop backing).
class DeviceTree {
public:
    struct Device {
        std::string name;
        std::string number;  // major:minor
        std::string sysPath; // below sys/devices; a partition's parent folder is its disk
        bool partition;
        bool removable;
        std::string uuid;  // empty: none
        std::string label; // as udev writes it in the link name
    };

    explicit DeviceTree(const std::vector<Device>& devices) {
        namespace fs = std::filesystem;
        fs::create_directories(dev() / "disk" / "by-uuid");
        fs::create_directories(dev() / "disk" / "by-label");
        fs::create_directories(sys() / "dev" / "block");
        fs::create_directories(sys() / "class" / "block");
        for (const auto& d : devices) {
            auto folder = sys() / "devices" / d.sysPath;
            fs::create_directories(folder);
            auto disk = d.partition ? folder.parent_path() : folder;
            std::ofstream(disk / "removable") << (d.removable ? "1\n" : "0\n");
            if (d.partition) std::ofstream(folder / "partition") << "1\n";
            fs::create_symlink("../../devices/" + d.sysPath, sys() / "dev" / "block" / d.number);
            fs::create_symlink("../../devices/" + d.sysPath, sys() / "class" / "block" / d.name);
            if (!d.uuid.empty())
                fs::create_symlink("../../" + d.name, dev() / "disk" / "by-uuid" / d.uuid);
            if (!d.label.empty())
                fs::create_symlink("../../" + d.name, dev() / "disk" / "by-label" / d.label);
        }
    }

    /// `upper` (a dm or md device) lies on `lower`.
    void addSlave(const std::string& upper, const std::string& lower) const {
        auto slaves = deviceFolder(upper) / "slaves";
        std::filesystem::create_directories(slaves);
        std::filesystem::create_symlink(deviceFolder(lower), slaves / lower);
    }
    /// A loop device backed by a file.
    void setBackingFile(const std::string& loop, const std::string& file) const {
        std::filesystem::create_directories(deviceFolder(loop) / "loop");
        std::ofstream(deviceFolder(loop) / "loop" / "backing_file") << file << "\n";
    }
    /// The model of the disk holding `device` (the whole disk of a partition).
    void setModel(const std::string& device, const std::string& model) const {
        auto disk = deviceFolder(device);
        if (std::filesystem::exists(disk / "partition")) disk = disk.parent_path();
        std::filesystem::create_directories(disk / "device");
        std::ofstream(disk / "device" / "model") << model << "\n";
    }

    std::filesystem::path dev() const { return dir_ / "dev"; }
    std::filesystem::path sys() const { return dir_ / "sys"; }
    const std::filesystem::path& path() const { return dir_.path(); }

private:
    std::filesystem::path deviceFolder(const std::string& name) const {
        return std::filesystem::canonical(sys() / "class" / "block" / name);
    }

    TempDir dir_;
};

} // namespace ulmaro::test
