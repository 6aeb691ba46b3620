#include "UlmaroKit/Index/IndexWriter.h"

#include "UlmaroKit/Index/FastHash64.h"
#include "UlmaroKit/Index/IndexError.h"
#include "UlmaroKit/Index/IndexHeader.h"
#include "UlmaroKit/Platform/AtomicFile.h"

#include <algorithm>

namespace ulmaro {

void IndexWriter::write(const IndexBuilder& builder, std::span<const VolumeEntry> volumes,
                        const std::filesystem::path& destination, Durability durability) {
    if (volumes.size() > IndexHeader::maxVolumes) throw IndexError::tooManyVolumes();
    checkIndexLimits(builder.records.size(), builder.nameBlob.size());

    std::span<const unsigned char> recordBytes{
        reinterpret_cast<const unsigned char*>(builder.records.data()),
        builder.records.size() * sizeof(FileRecord)};
    FastHash64::Rolling checksum;
    checksum.update(recordBytes);
    checksum.update(builder.nameBlob);

    auto filled = static_cast<std::size_t>(
        std::count_if(builder.records.begin(), builder.records.end(), [](const FileRecord& r) {
            return r.flags.contains(RecordFlags::attrsFilled);
        }));

    IndexHeader header{
        .recordCount = static_cast<std::uint32_t>(builder.records.size()),
        .nameBlobLength = static_cast<std::uint32_t>(builder.nameBlob.size()),
        .checksum = checksum.finish(),
        .volumes = {volumes.begin(), volumes.end()},
        .attrsCompleteness = filled == 0                        ? AttrsCompleteness::none
                             : filled == builder.records.size() ? AttrsCompleteness::complete
                                                                : AttrsCompleteness::partial,
    };
    auto headerBytes = header.encodeChecked();

    // The writer removes its temporary sibling on any failure before the rename.
    AtomicFileWriter file(destination, ".tmp", durability);
    file.write(headerBytes);
    file.write(recordBytes);
    file.write(builder.nameBlob);
    file.commit();
}

} // namespace ulmaro
