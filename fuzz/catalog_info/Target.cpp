// A catalog's "info.json": any bytes decode or are refused as a CatalogError, and a decoded
// record is written and read back unchanged.

#include "FuzzSupport.h"
#include "UlmaroKit/Catalogs/CatalogError.h"
#include "UlmaroKit/Catalogs/CatalogInfo.h"

using namespace ulmaro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CatalogInfo info;
    try {
        info = CatalogInfo::read(fuzz::writeScratchFile("info.json", {data, size}));
    } catch (const CatalogError&) {
        return 0;
    }
    (void)info.rootPath();
    const auto again = fuzz::scratchFolder() / "info-again.json";
    info.write(again);
    fuzz::check(CatalogInfo::read(again) == info,
                "an info file read back differs from the one written");
    return 0;
}
