#pragma once

#include "UlmaroKit/Scanning/MountedVolume.h"

#include <string>

namespace ulmaro::test {

/// A mounted volume with only what the catalog rules read.
inline MountedVolume volume(std::string uuid, std::string mountPath) {
    MountedVolume v;
    v.uuid = std::move(uuid);
    v.mountPath = std::move(mountPath);
    v.name = v.mountPath;
    return v;
}

} // namespace ulmaro::test
