#pragma once

#include <string>
#include <sys/types.h>

namespace ulmaro {

/// The folder a walk starts from, by device and inode. A walk whose root is gone, or is
/// another folder or on another device by the end (a drive unplugged or unmounted mid-way
/// leaves the folder beneath it at the same path), describes nothing: it must never
/// replace what an earlier walk wrote.
struct ScanRootIdentity {
    dev_t device = 0;
    ino_t inode = 0;

    /// The identity of `root` now. Throws std::system_error (the errno) when it cannot be
    /// opened as a folder.
    static ScanRootIdentity of(const std::string& root);

    /// 0 when `root` is still this folder; otherwise why not: the errno of opening it as a
    /// folder, or ENODEV when it is another folder or on another device.
    int recheck(const std::string& root) const;
    /// `recheck`, throwing std::system_error with the reason.
    void verify(const std::string& root) const;
};

} // namespace ulmaro
