// Mount tables (/proc/self/mountinfo): any text parses, line by line, and the scan policy and
// the volume list take whatever it gives.

#include "FuzzSupport.h"
#include "UlmaroKit/Platform/MountTable.h"
#include "UlmaroKit/Scanning/ScanPolicy.h"
#include "UlmaroKit/Scanning/VolumeEnumerator.h"

using namespace ulmaro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::text({data, size});
    const auto mounts = MountTable::parse(text);

    // Malformed lines are skipped, so each line means the same alone.
    std::vector<MountEntry> lineByLine;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == text.npos) end = text.size();
        for (auto& mount : MountTable::parse(text.substr(start, end - start)))
            lineByLine.push_back(std::move(mount));
        start = end + 1;
    }
    fuzz::check(lineByLine == mounts, "a line parses differently within the table");

    (void)ScanPolicy::unenterableMountPoints(mounts);

    VolumeEnumerator::setProbesVolumeRoots(false);
    VolumeSources sources;
    sources.mountTable = fuzz::writeScratchFile("mountinfo", {data, size});
    sources.deviceRoot = fuzz::scratchFolder() / "dev";
    sources.sysRoot = fuzz::scratchFolder() / "sys";
    sources.statFileSystem = [](const std::string&) { return std::optional<FileSystemStats>(); };
    (void)VolumeEnumerator::mountedVolumes(sources);
    return 0;
}
