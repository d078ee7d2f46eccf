#include "template_layout.h"

#include <algorithm>
#include <numeric>

#include "atr_header.h"
#include "dos2_layout.h"
#include "dos_disk.h"
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

    // The header, the three boot sectors, and KELDRIX.SYS: the second part, 125 bytes a
    // sector from sector 4, each sector linked to the next with file number 0.
    DosDisk disk(dos2::kSectorSize, dos2::kSectorCount);
    std::copy_n(loader.begin(), boot_bytes, disk.Sector(1).begin());
    const std::span<const std::uint8_t> rest = loader.subspan(boot_bytes);
    const int count =
        static_cast<int>((rest.size() + dos2::kDataBytesPerSector - 1) / dos2::kDataBytesPerSector);
    std::vector<int> sectors(static_cast<std::size_t>(count));
    std::iota(sectors.begin(), sectors.end(), kLoaderFileSector);
    WriteFileSectors(disk, sectors, rest, 0, LinkFormat::kDos2);
    WriteDirectoryEntry(disk, 0, dos2::kFlagDos2File | dos2::kFlagLocked, count, kLoaderFileSector,
                        kLoaderFileName);
    TemplateImage image;
    image.bytes = std::move(disk.bytes());

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
