#include "template_layout.h"

#include <algorithm>

#include "atr_header.h"
#include "dos2_layout.h"
#include "le_bytes.h"

namespace korvane::bootdisk {

std::variant<TemplateImage, std::string> BuildTemplateImage(std::span<const std::uint8_t> loader) {
    const std::size_t boot_bytes = kBootSectors * dos2::kSectorSize;
    if (loader.size() <= boot_bytes) {
        return std::string("the loader has no second part after its boot sectors");
    }
    if (loader[kBootHeaderSectors] != kBootSectors) {
        return "the boot header names " + std::to_string(loader[kBootHeaderSectors]) +
               " boot sectors, not " + std::to_string(kBootSectors);
    }
    if (ReadLe16(loader, kBootHeaderLoadAddress) != kLoaderAddress) {
        return std::string("the boot header does not load the loader at $0700");
    }

    TemplateImage image;
    image.bytes.assign(dos2::kImageLength, 0);
    const AtrHeaderBytes header = EncodeAtrHeader(
        static_cast<std::int64_t>(dos2::kImageLength - atr::kHeaderSize), atr::kSingleSectorSize);
    std::copy(header.begin(), header.end(), image.bytes.begin());
    std::copy_n(loader.begin(), boot_bytes,
                image.bytes.begin() + static_cast<std::ptrdiff_t>(dos2::SectorOffset(1)));

    // KELDRIX.SYS: the second part, 125 bytes a sector from sector 4, each sector
    // linked to the next with file number 0.
    const std::span<const std::uint8_t> rest = loader.subspan(boot_bytes);
    const int count =
        static_cast<int>((rest.size() + dos2::kDataBytesPerSector - 1) / dos2::kDataBytesPerSector);
    for (int i = 0; i < count; ++i) {
        const int sector = kLoaderFileSector + i;
        const int next = i + 1 < count ? sector + 1 : 0;
        const std::size_t from = static_cast<std::size_t>(i) * dos2::kDataBytesPerSector;
        const std::size_t take = std::min(dos2::kDataBytesPerSector, rest.size() - from);
        const auto data =
            image.bytes.begin() + static_cast<std::ptrdiff_t>(dos2::SectorOffset(sector));
        std::copy_n(rest.begin() + static_cast<std::ptrdiff_t>(from), take, data);
        data[dos2::kLinkFileNumber] = static_cast<std::uint8_t>(next >> 8);  // file number 0
        data[dos2::kLinkNextLow] = static_cast<std::uint8_t>(next);
        data[dos2::kLinkByteCount] = static_cast<std::uint8_t>(take);
    }
    const std::span<std::uint8_t> entry(
        image.bytes.data() + dos2::SectorOffset(dos2::kDirectoryFirstSector),
        dos2::kDirectoryEntrySize);
    entry[dos2::kEntryFlags] = dos2::kFlagDos2File | dos2::kFlagLocked;
    WriteLe16(entry, dos2::kEntrySectorCount, static_cast<std::uint16_t>(count));
    WriteLe16(entry, dos2::kEntryFirstSector, static_cast<std::uint16_t>(kLoaderFileSector));
    std::copy_n(kLoaderFileName, dos2::kEntryNameLength, entry.begin() + dos2::kEntryName);

    // Free: every sector after the file but the VTOC and directory; sector 0, which
    // DOS 2 never hands out, the boot sectors and the file are used; 720 has no bit.
    std::span<std::uint8_t> vtoc(image.bytes.data() + dos2::kVtocOffset, dos2::kSectorSize);
    vtoc[dos2::kVtocDosCode] = dos2::kDosCode;
    WriteLe16(vtoc, dos2::kVtocTotalSectors, dos2::kTotalSectors);
    for (int sector = kLoaderFileSector + count; sector < dos2::kSectorCount; ++sector) {
        dos2::SetSectorFree(vtoc, sector,
                            sector < dos2::kVtocSector || sector > dos2::kDirectoryLastSector);
    }
    image.loader_file_sectors = count;
    image.free_sectors = dos2::CountFreeSectors(vtoc);
    WriteLe16(vtoc, dos2::kVtocFreeCount, static_cast<std::uint16_t>(image.free_sectors));
    return image;
}

}  // namespace korvane::bootdisk
